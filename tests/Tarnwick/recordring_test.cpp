// The recording ring over small folders standing in for disks: C:, D: and E: map to
// temporary folders and each disk's free space is its capacity minus what its files hold.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <thread>

#include "harness/Services.h"
#include "harness/UiHarness.h"
#include "plat/text.h"
#include "settings_fixture.h"
#include "shell/DamagedFiles.h"
#include "shell/DbHelpers.h"
#include "shell/Language.h"
#include "view/RecordFileRing.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned kPack = 4096;  // bytes; a disk is full below 30 packs free
constexpr int64_t kRoom = 30 * kPack;

class Ring : public TempHomeTest {
 protected:
  void SetUp() override {
    TempHomeTest::SetUp();
    Make();
  }
  // The ring made anew over the folders standing in for disks.
  void Make() {
    ring = CRecordFileRing::GetInstance();
    ring->SetFreeSpaceQuery([this](const std::u16string& root) -> int64_t {
      auto it = capacity.find(root);
      if (it == capacity.end()) return -1;
      return it->second - static_cast<int64_t>(Used(plat::toNativePath(root)));
    });
    ring->SetPackSize(kPack);
  }
  static uintmax_t Used(const fs::path& dir) {
    uintmax_t total = 0;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
      if (it->is_regular_file()) total += it->file_size();
    return total;
  }
  void Enable(std::initializer_list<int> flags, int circular) {
    CRecordFileRing::DiskFlags f{};
    for (int i : flags) f[i] = 1;
    ring->ClearDisks();
    ring->SetDisks(f);
    ring->SetCircular(circular);
  }
  // Records one file of `bytes` the way the device layer would (type 1: the name itself).
  std::u16string Record(int bytes, int type = 1, const std::u16string& device = u"前门", int channel = 1) {
    std::u16string name;
    if (!ring->NewRecordFile(type, device, channel, name)) return {};
    std::string path = plat::toNativePath(name) + (type == 1 ? "" : "_20261208_230000.avi");
    WriteFile(path, std::string(static_cast<size_t>(bytes), 'x'));
    return name;
  }
  static bool Exists(const std::u16string& name) { return fs::exists(plat::toNativePath(name)); }
  // The second a file was made in (its last write where the file system keeps no birth).
  static int64_t MadeIn(const std::u16string& name) {
    struct statx sx{};
    const std::string path = plat::toNativePath(name);
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) != 0) return -1;
    return (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_mtime.tv_sec;
  }
  // Waits (bounded) until files are made in a later second than `name` was.
  static void NextSecondAfter(const std::u16string& name) {
    const int64_t made = MadeIn(name);
    for (int i = 0; i < 300 && std::time(nullptr) <= made; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the file clock's tick
  }

  CRecordFileRing* ring = nullptr;
  std::map<std::u16string, int64_t> capacity;
};

TEST_F(Ring, AFullFirstDiskSendsTheFileToTheSecondAndTheNameIsListedThere) {
  capacity[u"d:\\"] = kRoom - 1;  // one byte short of room
  capacity[u"e:\\"] = kRoom * 4;
  Enable({1, 2}, 1);
  EXPECT_TRUE(fs::is_directory(root_ / "d" / "RecordFile"));
  EXPECT_TRUE(fs::is_directory(root_ / "e" / "RecordFile"));
  EXPECT_TRUE(fs::exists(home_ / "record.db"));

  std::u16string name;
  ASSERT_TRUE(ring->NewRecordFile(1, u"cam\"' 1", 3, name));
  EXPECT_EQ(name.rfind(u"e:\\\\RecordFile\\\\Preview_cam\"' 1_03_", 0), 0u) << plat::utf16ToUtf8(name);
  EXPECT_EQ(name.substr(name.size() - 4), u".264");
  EXPECT_EQ(ring->ListedFiles(u"e:\\"), std::vector<std::u16string>{name});
  EXPECT_TRUE(ring->ListedFiles(u"d:\\").empty());
  EXPECT_EQ(ring->GetCurrentFile(u"cam\"' 1", 3), name);
  EXPECT_TRUE(ring->GetCurrentFile(u"CAM\"' 1", 3).empty());

  // The same device and channel again replaces its current file.
  capacity[u"d:\\"] = kRoom;
  std::u16string second;
  ASSERT_TRUE(ring->NewRecordFile(1, u"cam\"' 1", 3, second));
  EXPECT_EQ(second.rfind(u"d:\\", 0), 0u);
  EXPECT_EQ(ring->GetCurrentFile(u"cam\"' 1", 3), second);

  // A device name cannot steer the file out of the record folder.
  std::u16string odd;
  ASSERT_TRUE(ring->NewRecordFile(1, u"..\\..\\x/y", 1, odd));
  EXPECT_EQ(fs::path(plat::toNativePath(odd)).parent_path().filename(), "RecordFile");

  // A disk whose folder cannot be made (a file stands there) is taken without a word.
  WriteFile((root_ / "c" / "RecordFile").string(), "x");
  harness::ScopedScriptedUi ui;
  Enable({0}, 1);
  EXPECT_TRUE(ui->notices.empty());
  EXPECT_EQ(ring->Disks(), std::vector<std::u16string>{u"c:\\"});
}

TEST_F(Ring, BothDisksFullWithLoopOnDeleteTheOldestAndWriteToItsDisk) {
  capacity[u"d:\\"] = kRoom + 2 * kPack;
  capacity[u"e:\\"] = kRoom + 2 * kPack;
  Enable({1, 2}, 1);
  // The first recordings fill d, then e; the oldest of all is on e.
  capacity[u"d:\\"] = 0;
  std::u16string onE = Record(3 * kPack);
  NextSecondAfter(onE);
  capacity[u"d:\\"] = kRoom + 2 * kPack;
  std::u16string onD = Record(3 * kPack);
  ASSERT_EQ(onE.rfind(u"e:", 0), 0u);
  ASSERT_EQ(onD.rfind(u"d:", 0), 0u);

  std::u16string next = Record(10);
  ASSERT_FALSE(next.empty());
  EXPECT_FALSE(Exists(onE));
  EXPECT_TRUE(Exists(onD));
  EXPECT_EQ(next.rfind(u"e:", 0), 0u);
  EXPECT_EQ(ring->ListedFiles(u"e:\\"), std::vector<std::u16string>{next});
  EXPECT_EQ(ring->ListedFiles(u"d:\\"), std::vector<std::u16string>{onD});

  // Records made in an earlier run are the oldest and go first.
  harness::ResetServices();
  ring = CRecordFileRing::GetInstance();
  ring->SetFreeSpaceQuery([this](const std::u16string& root) -> int64_t {
    return capacity[root] - static_cast<int64_t>(Used(plat::toNativePath(root)));
  });
  ring->SetPackSize(kPack);
  Enable({1, 2}, 1);
  WriteFile(plat::toNativePath(next), std::string(3 * kPack, 'y'));
  std::u16string after = Record(10);
  ASSERT_FALSE(after.empty());
  EXPECT_FALSE(Exists(onD));
  EXPECT_TRUE(Exists(next));
}

// Files are dated to the second: two made within one second tie, and then the earlier disk's
// is the oldest, whichever of them came first.
TEST_F(Ring, FilesMadeWithinOneSecondTieAndTheEarlierDisksGoesFirst) {
  std::u16string onE, onD;
  for (int attempt = 0; attempt < 5; ++attempt) {
    harness::ResetServices();
    fs::remove_all(home_ / "record.db");
    for (const char* d : {"d", "e"}) fs::remove_all(root_ / d / "RecordFile");
    Make();
    capacity[u"d:\\"] = 0;
    capacity[u"e:\\"] = kRoom + 2 * kPack;
    Enable({1, 2}, 1);
    onE = Record(3 * kPack);
    capacity[u"d:\\"] = kRoom + 2 * kPack;
    onD = Record(3 * kPack);
    if (MadeIn(onE) == MadeIn(onD)) break;
  }
  ASSERT_TRUE(onE.rfind(u"e:", 0) == 0 && onD.rfind(u"d:", 0) == 0);
  ASSERT_EQ(MadeIn(onE), MadeIn(onD)) << "never made within one second";
  std::u16string next = Record(10);
  ASSERT_FALSE(next.empty());
  EXPECT_FALSE(Exists(onD)) << "the later-made file of the earlier disk goes";
  EXPECT_TRUE(Exists(onE));
  EXPECT_EQ(next.rfind(u"d:", 0), 0u);
}

TEST_F(Ring, LoopOffNeverDeletesAndFailsWhenNoDiskHasRoom) {
  capacity[u"d:\\"] = kRoom + kPack;
  Enable({1}, 0);
  std::u16string first = Record(2 * kPack);
  ASSERT_FALSE(first.empty());
  std::u16string name;
  EXPECT_FALSE(ring->NewRecordFile(1, u"cam", 1, name));
  EXPECT_TRUE(Exists(first));
  EXPECT_EQ(ring->ListedFiles(u"d:\\").size(), 1u);

  // Nothing enabled at all.
  ring->ClearDisks();
  EXPECT_FALSE(ring->NewRecordFile(1, u"cam", 1, name));
  // A disk whose free space is unknown is used as if it had room.
  capacity.clear();
  Enable({2}, 0);
  EXPECT_TRUE(ring->NewRecordFile(1, u"cam", 1, name));
}

TEST_F(Ring, AHandDeletedFileIsOldestItsRowGoesAndAnEmptyTableEndsTheLoop) {
  capacity[u"d:\\"] = kRoom + 3 * kPack;
  Enable({1}, 1);
  std::u16string a = Record(kPack), b = Record(kPack), c = Record(kPack);
  // Asked for within one millisecond, the names still differ: none overwrites another.
  ASSERT_TRUE(a != b && b != c && a != c);
  fs::remove(plat::toNativePath(a));  // by hand
  // Full now: the missing file is the oldest, so its row goes; the loop goes on to b.
  WriteFile(plat::toNativePath(c), std::string(3 * kPack, 'z'));
  std::u16string d = Record(1);
  ASSERT_FALSE(d.empty());
  EXPECT_EQ(ring->ListedFiles(u"d:\\"), (std::vector<std::u16string>{c, d}));
  EXPECT_FALSE(Exists(b));
  EXPECT_TRUE(Exists(c));

  // A row without a name is passed over while the oldest is looked for, and left.
  {
    CppSQLite3DB other;
    ASSERT_TRUE(OpenDatabaseInProgramDir(other, RECORD_DB_NAME));
    other.Execute(u"insert into d(id, file) values(0, '')");
    CloseDatabase(other);
  }
  WriteFile(plat::toNativePath(d), std::string(3 * kPack, 'z'));
  std::u16string e = Record(1);
  ASSERT_FALSE(e.empty());
  EXPECT_EQ(ring->ListedFiles(u"d:\\"), (std::vector<std::u16string>{u"", d, e}));
  EXPECT_FALSE(Exists(c));

  // A disk full of files the ring never listed: nothing to delete, the call fails at once.
  capacity[u"e:\\"] = 0;
  Enable({2}, 1);
  std::u16string name;
  EXPECT_FALSE(ring->NewRecordFile(1, u"cam", 1, name));
}

TEST_F(Ring, OtherDataThatKeepsTheDiskBelowTheReserveMakesItRefuseWithoutDeleting) {
  capacity[u"d:\\"] = kRoom + 2 * kPack;
  Enable({1}, 1);
  std::u16string old = Record(kPack);
  ASSERT_FALSE(old.empty());
  // Someone else's files leave d short of the reserve by more than the recording frees.
  WriteFile((root_ / "d" / "other.bin").string(), std::string(5 * kPack / 2, 'o'));
  std::u16string name;
  EXPECT_FALSE(ring->NewRecordFile(1, u"cam", 1, name));
  EXPECT_EQ(ring->LastFailure(), CRecordFileRing::Failure::DisksFull);
  EXPECT_TRUE(Exists(old)) << "a recording was deleted for room it could not make";
  EXPECT_EQ(ring->ListedFiles(u"d:\\"), std::vector<std::u16string>{old});

  // With less of the other data, deleting the recording makes the room: it goes.
  WriteFile((root_ / "d" / "other.bin").string(), std::string(kPack / 2, 'o'));
  WriteFile(plat::toNativePath(old), std::string(2 * kPack, 'x'));
  ASSERT_TRUE(ring->NewRecordFile(1, u"cam", 1, name));
  EXPECT_FALSE(Exists(old));
}

TEST_F(Ring, ARollReadsTheListOnlyAsFarAsTheRoomItNeeds) {
  capacity[u"d:\\"] = kRoom + 12 * kPack;
  Enable({1}, 1);
  // Twelve recordings of as many channels, none of them being written any more.
  int asked = 0;
  ring->SetRecordingQuery([&](const std::u16string&, int) { return ++asked, false; });
  std::vector<std::u16string> files;
  for (int channel = 1; channel <= 12; ++channel) files.push_back(Record(kPack, 1, u"cam", channel));
  ASSERT_EQ(ring->ListedFiles(u"d:\\").size(), 12u);
  // One byte short of the reserve: the oldest recording makes the room, and only it is read
  // (to choose the disk, to count the room, to choose the file), not every row of the list.
  WriteFile((root_ / "d" / "other.bin").string(), "o");
  asked = 0;
  ASSERT_FALSE(Record(1, 1, u"cam", 13).empty());
  EXPECT_LE(asked, 3);
  EXPECT_FALSE(Exists(files[0]));
  EXPECT_TRUE(Exists(files[1]));
}

TEST_F(Ring, CameraRecordingsListedByPrefixFreeTheirRealFiles) {
  capacity[u"d:\\"] = kRoom + 2 * kPack;
  Enable({1}, 1);
  std::u16string prefix = Record(kPack, 2);
  ASSERT_FALSE(prefix.empty());
  EXPECT_NE(prefix.substr(prefix.size() - 4), u".264");
  const std::string native = plat::toNativePath(prefix);
  WriteFile(native + "_20261208_231000.avi", std::string(kPack, 'x'));  // the recorder rolled
  WriteFile(native + "9_20261208_231000.avi", "other");                 // another recording
  EXPECT_EQ(CRecordFileRing::RecordingFilesOf(prefix).size(), 2u);
  // No file has the listed name itself: the camera's recorder starts its next file by itself.
  EXPECT_FALSE(ring->NeedNewFile(prefix)) << "two packs under that name";
  EXPECT_FALSE(ring->NeedNewFile(prefix + u"_nothing"));
  WriteFile(native + ".264", std::string(kPack + 1, 'x'));
  EXPECT_TRUE(ring->NeedNewFile(prefix + u".264")) << "a file over the pack size";

  std::u16string next = Record(10, 4);
  ASSERT_FALSE(next.empty());
  EXPECT_TRUE(CRecordFileRing::RecordingFilesOf(prefix).empty());
  EXPECT_TRUE(fs::exists(native + "9_20261208_231000.avi"));
}

TEST_F(Ring, TheFullMarkIsThirtyPacks) {
  ring->SetPackSize(256u << 20);
  capacity[u"d:\\"] = 7864320LL * 1024 - 1;
  capacity[u"e:\\"] = 7864320LL * 1024;
  Enable({1, 2}, 0);
  std::u16string name;
  ASSERT_TRUE(ring->NewRecordFile(1, u"cam", 1, name));
  EXPECT_EQ(name.rfind(u"e:", 0), 0u);
}

// Something that cannot be read where the list should be (a folder; a file this user may not
// read, where the tests do not run as root) is left as it is: recording stays off, the start
// says which file and why, and every refused recording gives the same reason.
TEST_F(Ring, ARecordDatabaseThatCannotBeOpenedLeavesRecordingOffAndSaysWhy) {
  std::vector<std::string> kinds{"folder"};
  if (geteuid() != 0) kinds.push_back("no permission");
  const fs::path file = home_ / "record.db";
  for (const std::string& kind : kinds) {
    SCOPED_TRACE(kind);
    harness::ScopedScriptedUi ui;
    harness::ResetServices();
    fs::remove_all(file);
    const fs::path mine = kind == "folder" ? file / "mine.txt" : file;
    if (kind == "folder") fs::create_directories(file);
    WriteFile(mine.string(), "the user's own");
    if (kind != "folder") fs::permissions(file, fs::perms::none);
    ring = CRecordFileRing::GetInstance();
    EXPECT_FALSE(ring->IsDatabaseOpen());
    const std::u16string said =
        UnopenableFileText(8995, RECORD_DB_NAME, LoadResString(kind == "folder" ? 8997 : 8998));
    EXPECT_EQ(ui->notices, std::vector<std::u16string>{said});
    Enable({1}, 1);
    std::u16string name;
    EXPECT_FALSE(ring->NewRecordFile(1, u"cam", 1, name));
    EXPECT_EQ(ring->LastFailure(), CRecordFileRing::Failure::NoDatabase);
    EXPECT_EQ(ring->DatabaseProblem(), said);
    fs::permissions(mine, fs::perms::owner_read);
    EXPECT_EQ(ReadFile(mine.string()), "the user's own");
    EXPECT_FALSE(fs::exists(file.string() + ".bak"));
  }
  // A list that cannot be made where none stands (a folder that takes no new file).
  harness::ScopedScriptedUi ui;
  harness::ResetServices();
  fs::remove_all(file);
  setenv("TARNWICK_HOME", (home_ / "no" / "such" / "folder").c_str(), 1);
  ring = CRecordFileRing::GetInstance();
  EXPECT_EQ(ring->DatabaseProblem(), UnopenableFileText(8995, RECORD_DB_NAME, LoadResString(8988)));
  EXPECT_EQ(ui->notices.size(), 1u);
  harness::ResetServices();
  setenv("TARNWICK_HOME", home_.c_str(), 1);

  // A list that opens but whose table for a disk is not the ring's (another program's file):
  // told as one that cannot be opened when the disk is set, and nothing records; the file is
  // left as it is.
  {
    CppSQLite3DB other;
    ASSERT_TRUE(OpenDatabaseInProgramDir(other, RECORD_DB_NAME));
    other.Execute(u"create table d (name text, size integer)");
    other.Execute(u"insert into d values('theirs', 1)");
    CloseDatabase(other);
  }
  ui->notices.clear();
  Make();
  ASSERT_TRUE(ring->IsDatabaseOpen());
  capacity[u"d:\\"] = 4 * kRoom;
  Enable({1}, 1);
  const std::u16string notTheRings = UnopenableFileText(8995, RECORD_DB_NAME, LoadResString(9307));
  EXPECT_EQ(ui->notices, std::vector<std::u16string>{notTheRings});
  std::u16string name;
  EXPECT_FALSE(ring->NewRecordFile(1, u"cam", 1, name)) << "a recording the list never held";
  EXPECT_EQ(ring->LastFailure(), CRecordFileRing::Failure::NoDatabase);
  EXPECT_EQ(ring->DatabaseProblem(), notTheRings);
  harness::ResetServices();
  CppSQLite3DB kept;
  ASSERT_TRUE(OpenDatabaseInProgramDir(kept, RECORD_DB_NAME));
  EXPECT_EQ(kept.ExecuteScalar(u"select size from d where name = 'theirs'"), 1);
  CloseDatabase(kept);
}

// A list that is not a database any more: the user is told, its bytes are kept aside, and the
// ring records into a new list that it can free files from again.
TEST_F(Ring, ADamagedRecordDatabaseIsKeptAsideAndTheRingStartsANewList) {
  harness::ScopedScriptedUi ui;
  harness::ResetServices();
  const std::string garbage = "SQLite format 3" + std::string(4096, '\x3C');
  WriteFile((home_ / "record.db").string(), garbage);
  Make();
  ASSERT_TRUE(ring->IsDatabaseOpen());
  ASSERT_EQ(ui->notices.size(), 1u);
  EXPECT_NE(ui->notices[0].find(u"record.db.bak"), std::u16string::npos);
  EXPECT_EQ(ReadFile((home_ / "record.db.bak").string()), garbage);
  capacity[u"d:\\"] = kRoom + kPack / 2;  // room for one file
  Enable({1}, 1);
  const std::u16string first = Record(kPack);
  ASSERT_FALSE(first.empty());
  const std::u16string second = Record(kPack);
  ASSERT_FALSE(second.empty());
  EXPECT_FALSE(Exists(first)) << "the new list frees the oldest file";
  EXPECT_TRUE(Exists(second));
  EXPECT_EQ(ring->ListedFiles(u"d:\\"), std::vector<std::u16string>{second});
}

}  // namespace
