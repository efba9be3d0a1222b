#include <map>

#include "settings_fixture.h"

namespace {

class FakeDisks : public DiskProvider {
 public:
  std::map<std::u16string, int64_t> freeMB;  // by path; missing = not there
  std::vector<std::u16string> roots;
  int64_t FreeSpaceMB(const std::u16string& path) override {
    auto it = freeMB.find(path);
    return it == freeMB.end() ? -1 : it->second;
  }
  std::vector<std::u16string> FixedDriveRoots() override { return roots; }
};

}  // namespace

using Disks = TempHomeTest;

TEST_F(Disks, RecordPathKeepsAFolderWithRoom) {
  auto disks = std::make_shared<FakeDisks>();
  disks->freeMB[u"C:\\RecordFile\\"] = 2049;
  disks->roots = {u"C:\\", u"D:\\"};
  disks->freeMB[u"D:\\"] = 90000;
  SetDiskProvider(disks);
  CLocalSettings s;
  std::u16string folder;
  EXPECT_EQ(s.GetRecordPath(folder), 1);
  EXPECT_EQ(folder, u"C:\\RecordFile\\");
}

TEST_F(Disks, RecordPathMovesToTheFirstDriveWithMoreThan2048MB) {
  auto disks = std::make_shared<FakeDisks>();
  disks->freeMB[u"C:\\RecordFile\\"] = 2048;  // exactly the reserve is not enough
  disks->roots = {u"C:\\", u"D:\\", u"E:\\", u"F:\\"};
  disks->freeMB[u"C:\\"] = 2048;
  disks->freeMB[u"D:\\"] = 1000;
  disks->freeMB[u"E:\\"] = 5000;
  disks->freeMB[u"F:\\"] = 9000;
  SetDiskProvider(disks);
  CLocalSettings s;
  std::u16string folder = u"unchanged";
  EXPECT_EQ(s.GetRecordPath(folder), 1);
  EXPECT_EQ(folder, u"E:\\RecordFile\\");
  // The new folder is remembered: with room there it is handed out directly.
  disks->freeMB[u"E:\\RecordFile\\"] = 5000;
  disks->freeMB[u"E:\\"] = 0;
  folder.clear();
  EXPECT_EQ(s.GetRecordPath(folder), 1);
  EXPECT_EQ(folder, u"E:\\RecordFile\\");
}

TEST_F(Disks, RecordPathWithNoRoomAnywhere) {
  auto disks = std::make_shared<FakeDisks>();
  disks->roots = {u"C:\\", u"D:\\"};
  disks->freeMB[u"C:\\"] = 2048;
  disks->freeMB[u"D:\\"] = 10;
  SetDiskProvider(disks);
  CLocalSettings s;
  std::u16string folder = u"before";
  EXPECT_EQ(s.GetRecordPath(folder), 0);
  EXPECT_EQ(folder, u"before");
  disks->freeMB[u"D:\\"] = 2049;
  EXPECT_EQ(s.GetRecordPath(folder), 1);
  EXPECT_EQ(folder, u"D:\\RecordFile\\");
}

TEST_F(Disks, SystemDisksComeFromTheDriveMap) {
  std::vector<std::u16string> list{u"keep"};
  EXPECT_EQ(ListFixedDrives(list), 3);
  EXPECT_EQ(list, (std::vector<std::u16string>{u"keep", u"C:\\", u"D:\\", u"E:\\"}));
  EXPECT_GE(GetFreeSpaceMB(u"D:\\"), 0);
  EXPECT_EQ(GetFreeSpaceMB(u"D:\\no\\such\\folder\\"), -1);
  EXPECT_EQ(GetFreeSpaceMB(u"Q:\\"), -1);  // a letter no disk maps
}

TEST_F(Disks, ScreenSizeFillsWhatIsAsked) {
  int w = 0, h = 0;
  GetScreenSize(&w, nullptr);
  GetScreenSize(nullptr, &h);
  EXPECT_GT(w, 0);
  EXPECT_GT(h, 0);
  GetScreenSize(nullptr, nullptr);
}
