// Alarm channel, device control and configuration files against the recorder emulator.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include "control/transfer.h"
#include "control_support.h"
#include "fixture.h"
#include "protocol/library.h"
#include "support/TestFolder.h"

using namespace saxtrum_test;

namespace {

struct Alarms {
  Counter count;
  std::mutex mu;
  std::vector<uint32_t> types;
  static void callback(int32_t command, char*, char* info, uint32_t, void* user) {
    auto* self = static_cast<Alarms*>(user);
    if (command != QX_DVR_COMMAND_ALARM) return;
    {
      std::lock_guard<std::mutex> lock(self->mu);
      self->types.push_back(dvremu::get32(reinterpret_cast<uint8_t*>(info)));
    }
    self->count.hit();
  }
};

class DvrControlTest : public DvrLoggedInTest {
 protected:
  void SetUp() override {
    DvrLoggedInTest::SetUp();
    conn = saxtrum::loginConnection(id);
  }
  std::string temp(const char* name) {
    return testsupport::TestFile("saxtrum_ctl_" + std::string(name));
  }
  std::string writeFile(const char* name, size_t size) {
    const std::string path = temp(name);
    std::vector<char> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 31 + 7);
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(size));
    return path;
  }
  std::shared_ptr<saxtrum::DvrConnection> conn;
};

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST_F(DvrControlTest, AlarmsReachTheCallbackOnlyWhileTheChannelIsOpen) {
  Alarms alarms;
  ASSERT_EQ(QX_DVR_SetDVRMessageCallBack(&Alarms::callback, &alarms), 1);
  std::array<uint8_t, 16> bits{};
  bits[1] = 0x2;  // motion on channel 2
  const auto record = dvremu::alarmRecord("SN1", "dvr", "127.0.0.1", bits);
  const int32_t h = QX_DVR_SetupAlarmChan(id);
  ASSERT_GE(h, 0);
  ASSERT_TRUE(emu->pushAlarm(static_cast<uint32_t>(h), record));
  ASSERT_TRUE(alarms.count.waitFor(1));
  EXPECT_EQ(alarms.types.at(0), 3u);
  EXPECT_EQ(QX_DVR_CloseAlarmChan(h), 1);
  EXPECT_EQ(busySlots(*conn), 0);
  ASSERT_TRUE(emu->pushAlarm(static_cast<uint32_t>(h), record));
  // A request answered after the alarm was pushed: the alarm has been handled by then.
  EXPECT_EQ(QX_DVR_RestoreConfig(id), 1);
  EXPECT_EQ(alarms.count.value(), 1);
  EXPECT_EQ(QX_DVR_CloseAlarmChan(h), 0);
  emu->refuse(35, true);
  EXPECT_EQ(QX_DVR_SetupAlarmChan(id), -1);
  EXPECT_EQ(QX_DVR_SetupAlarmChan(-1), -1);
}

TEST_F(DvrControlTest, OneShotResultsAndPayloads) {
  EXPECT_EQ(QX_DVR_RebootDVR(id), 1);
  EXPECT_EQ(QX_DVR_ShutDownDVR(id), 1);
  EXPECT_EQ(QX_DVR_StartDVRRecord(id, 2, 1), 1);
  EXPECT_EQ(QX_DVR_StopDVRRecord(id, 2), 1);
  EXPECT_EQ(QX_DVR_RestoreConfig(id), 1);
  EXPECT_EQ(emu->requests(29)[0].payload, (std::vector<uint8_t>{2, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(emu->requests(30)[0].payload, (std::vector<uint8_t>{2, 0, 0, 0}));
  EXPECT_TRUE(emu->requests(23)[0].payload.empty());
  emu->refuse(23, true);
  emu->refuse(24, true);
  emu->refuse(29, true);
  emu->refuse(31, true);
  EXPECT_EQ(QX_DVR_RebootDVR(id), -1);
  EXPECT_EQ(QX_DVR_ShutDownDVR(id), -1);
  EXPECT_EQ(QX_DVR_StartDVRRecord(id, 2, 1), 0);
  EXPECT_EQ(QX_DVR_RestoreConfig(id), 0);
  EXPECT_EQ(QX_DVR_RebootDVR(200), -1);
  EXPECT_EQ(QX_DVR_ShutDownDVR(200), 0);
  EXPECT_EQ(busySlots(*conn), 0);
}

TEST_F(DvrControlTest, AlarmOutputsAndFormatHandles) {
  EXPECT_EQ(QX_DVR_SetAlarmOut(id, 3, 1), 1);
  EXPECT_EQ(emu->requests(28)[0].payload, (std::vector<uint8_t>{3, 0, 0, 0, 1, 0, 0, 0}));
  uint8_t status[QX_DVR_ALARMOUT_STATUS_SIZE];
  std::memset(status, 0xEE, sizeof status);
  ASSERT_EQ(QX_DVR_GetAlarmOut(id, status), 1);
  EXPECT_EQ(status[3], 1);
  EXPECT_EQ(status[2], 0);
  EXPECT_EQ(emu->requests(27)[0].payload, (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_EQ(QX_DVR_SetAlarmOut(id, 500, 1), 0);  // the device has no such output
  EXPECT_EQ(QX_DVR_GetAlarmOut(id, nullptr), 0);
  // Each format handle keeps its slot for the rest of the login; a refused format keeps none.
  std::set<int32_t> handles;
  for (int i = 0; i < 4; ++i) {
    const int32_t h = QX_DVR_FormatDisk(id, i);
    ASSERT_GE(h, 0) << i;
    handles.insert(h);
  }
  EXPECT_EQ(handles.size(), 4u);
  EXPECT_EQ(dvremu::get32(emu->requests(22)[3].payload.data()), 3u);
  EXPECT_EQ(busySlots(*conn), 4);
  emu->refuse(22, true);
  EXPECT_EQ(QX_DVR_FormatDisk(id, 0), -1);
  EXPECT_EQ(QX_DVR_FormatDisk(-5, 0), -1);
  EXPECT_EQ(busySlots(*conn), 4);
}

// An export has no end mark: its slot stays taken for the rest of the login, so a login whose
// 32 slots hold exports can start nothing more.
TEST_F(DvrControlTest, ExportKeepsItsSlotForTheRestOfTheLogin) {
  emu->refuse(74, true);
  EXPECT_EQ(QX_DVR_GetConfigFile(id, temp("x.cfg").c_str()), 0);
  EXPECT_EQ(QX_DVR_GetConfigFile(1000, nullptr), -1);
  EXPECT_EQ(busySlots(*conn), 0);
  emu->refuse(74, false);
  std::vector<uint8_t> expect(50000);
  for (size_t i = 0; i < expect.size(); ++i) expect[i] = static_cast<uint8_t>(i * 7 + 3);
  for (int round = 0; round < 32; ++round) {
    const std::string path = temp(("export" + std::to_string(round) + ".cfg").c_str());
    std::remove(path.c_str());
    ASSERT_EQ(QX_DVR_GetConfigFile(id, path.c_str()), 1) << round;
    ASSERT_TRUE(eventually([&] { return readFile(path) == expect; })) << round;
    EXPECT_EQ(busySlots(*conn), round + 1);
    std::remove(path.c_str());
  }
  EXPECT_EQ(QX_DVR_GetConfigFile(id, temp("x.cfg").c_str()), 0) << "a slot was free";
  EXPECT_EQ(QX_DVR_RebootDVR(id), 0);
}

TEST_F(DvrControlTest, ImportInChunksWithAnEmptyLastOne) {
  struct Case {
    size_t size, chunks;
  } cases[] = {{2 * saxtrum::transfer::kChunkSize, 3}, {30000, 2}, {0, 1}, {100, 1}};
  size_t done = 0;
  for (const Case& c : cases) {
    const std::string path = writeFile("import.cfg", c.size);
    ASSERT_EQ(QX_DVR_SetConfigFile(id, path.c_str()), 1) << c.size;
    const auto t = emu->services().transfers();
    ASSERT_EQ(t.size(), ++done);
    EXPECT_EQ(t.back().command, 75u);
    EXPECT_EQ(t.back().name, "saxtrum_ctl_import.cfg");
    EXPECT_EQ(t.back().size, c.size);
    EXPECT_EQ(t.back().chunks, c.chunks) << c.size;
    EXPECT_TRUE(t.back().complete);
    EXPECT_EQ(t.back().bytes, readFile(path));
  }
  const auto header = emu->requests(75)[0].payload;
  ASSERT_EQ(header.size(), 264u);
  EXPECT_EQ(dvremu::get32(&header[256]), 2u * saxtrum::transfer::kChunkSize);
  EXPECT_EQ(busySlots(*conn), 0);
}

TEST_F(DvrControlTest, UpgradeSendsThePathAndStopsOnARefusedChunk) {
  const std::string path = writeFile("firmware.bin", 50000);
  ASSERT_EQ(QX_DVR_Upgrade(id, path.c_str()), 1);
  auto t = emu->services().transfers();
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].name, path);
  EXPECT_EQ(t[0].chunks, 3u);
  // Header and first chunk accepted, the second refused.
  emu->services().failAfter(76, 2);
  EXPECT_EQ(QX_DVR_Upgrade(id, path.c_str()), 0);
  EXPECT_EQ(emu->requests(76).size(), 4u + 3u);
  EXPECT_EQ(busySlots(*conn), 0);
  EXPECT_EQ(QX_DVR_Upgrade(id, temp("missing.bin").c_str()), 0);
  EXPECT_EQ(QX_DVR_Upgrade(id, nullptr), 0);
  EXPECT_EQ(QX_DVR_Upgrade(-1, path.c_str()), -1);
  EXPECT_EQ(QX_DVR_SetConfigFile(id, "import.cfg"), 0);   // no folder: no file name
  EXPECT_EQ(QX_DVR_SetConfigFile(id, temp("none.cfg").c_str()), 0);
  EXPECT_EQ(QX_DVR_SetConfigFile(id, nullptr), 0);
  EXPECT_EQ(QX_DVR_SetConfigFile(-1, path.c_str()), -1);
  // A missing file is told before a bad user id.
  EXPECT_EQ(QX_DVR_SetConfigFile(-1, temp("none.cfg").c_str()), 0);
  EXPECT_EQ(QX_DVR_SetConfigFile(-1, nullptr), 0);
  EXPECT_EQ(QX_DVR_Upgrade(-1, temp("missing.bin").c_str()), 0);
  EXPECT_EQ(saxtrum::transfer::importName("/a/b/c.cfg"), "c.cfg");
  EXPECT_EQ(saxtrum::transfer::importName("C:\\cfg\\d.cfg"), "d.cfg");
  EXPECT_EQ(saxtrum::transfer::importName("/a/b/"), "");
  EXPECT_EQ(busySlots(*conn), 0);
}
