#include <map>
#include <sys/stat.h>

#include "harness/Services.h"
#include "plat/text.h"
#include "settings_fixture.h"
#include "shell/IniFile.h"
#include "support/FileSizeLimit.h"

using Settings = TempHomeTest;

TEST_F(Settings, NoFileKeepsBuiltInValues) {
  CLocalSettings s;
  EXPECT_EQ(s.Load(), 0);
  EXPECT_EQ(s.GetCycleInterval(), 20);
  EXPECT_EQ(s.GetFilePackSize(), 32);
  EXPECT_EQ(s.GetCircleVideo(), 1);
  EXPECT_EQ(s.GetWndMode(), 1);
  EXPECT_EQ(s.GetLangID(), 99);
  EXPECT_EQ(s.GetDiskFlags(), CLocalSettings::DiskFlags{});
  EXPECT_EQ(s.GetDownLoadPath(), u"C:\\DownloadFile\\");
  EXPECT_EQ(s.GetPictureSavePath(), u"C:\\Capture\\");
  EXPECT_EQ(s.GetRemoteCfgPath(), u"C:\\RemoteCfg\\");
  EXPECT_FALSE(std::filesystem::exists(CLocalSettings::SettingsFilePath()));

  // The file lies beside the program, named after it.
  std::string path = CLocalSettings::SettingsFilePath();
  EXPECT_EQ(path.rfind(home_.string() + "/", 0), 0u) << path;
  std::string exe = plat::programFilePath();
  EXPECT_EQ(path, home_.string() + "/" + exe.substr(exe.rfind('/') + 1) + "vez.ini");
}

TEST_F(Settings, SaveWritesTheExactTextAndLoadsItBack) {
  CLocalSettings s;
  s.SetCircleVideo(0);
  s.SetWndMode(2);
  s.SetLangID(1);
  s.SetFilePackSize(64);
  s.SetCycleInterval(45);
  CLocalSettings::DiskFlags flags{};
  flags[2] = 1;
  flags[9] = 1;
  flags[10] = 1;  // beyond the ten written flags
  flags[31] = 1;
  s.SetDiskFlags(flags);
  s.SetDownLoadPath(u"D:\\下载\\");
  s.SetPictureSavePath(u"E:\\Pics\\");
  ASSERT_EQ(s.Save(), 1);

  EXPECT_EQ(ReadFile(CLocalSettings::SettingsFilePath()),
            "[]\r\nCircleVideo=0\r\nWndMode=2\r\nLangID=1\r\nFilePackSize=64\r\n"
            "CycleInterval=45\r\nAllDisk=0010000001\r\nDownLoadPath=D:\\下载\\\r\n"
            "PictureSavePath=E:\\Pics\\\r\n");

  CLocalSettings again;  // the constructor loads
  EXPECT_EQ(again.GetCircleVideo(), 0);
  EXPECT_EQ(again.GetWndMode(), 2);
  EXPECT_EQ(again.GetLangID(), 1);
  EXPECT_EQ(again.GetFilePackSize(), 64);
  EXPECT_EQ(again.GetCycleInterval(), 45);
  EXPECT_EQ(again.GetDownLoadPath(), u"D:\\下载\\");
  EXPECT_EQ(again.GetPictureSavePath(), u"E:\\Pics\\");
  CLocalSettings::DiskFlags expected{};
  expected[2] = expected[9] = 1;  // flags 10 to 31 come back as 0
  EXPECT_EQ(again.GetDiskFlags(), expected);
}

TEST_F(Settings, DiskFlagsReadDigitByDigit) {
  WriteSettings("[]\r\nAllDisk=101\r\n");
  CLocalSettings s;  // loads once; set flags then load again over them
  CLocalSettings::DiskFlags flags{};
  flags.fill(1);
  flags[0] = 0;
  s.SetDiskFlags(flags);
  ASSERT_EQ(s.Load(), 1);
  auto got = s.GetDiskFlags();
  EXPECT_EQ(got[0], 1);
  EXPECT_EQ(got[1], 0);
  EXPECT_EQ(got[2], 1);
  for (int i = 3; i < CLocalSettings::DISK_FLAG_COUNT; ++i) EXPECT_EQ(got[i], 1) << i;

  ASSERT_EQ(s.Save(), 1);
  EXPECT_NE(ReadFile(CLocalSettings::SettingsFilePath()).find("AllDisk=1011111111\r\n"),
            std::string::npos);

  // Each character's code less that of "0", whatever the character.
  WriteSettings("[]\r\nAllDisk=1x1-\r\n");
  ASSERT_EQ(s.Load(), 1);
  got = s.GetDiskFlags();
  EXPECT_EQ(got[0], 1);
  EXPECT_EQ(got[1], 'x' - '0');
  EXPECT_EQ(got[2], 1);
  EXPECT_EQ(got[3], '-' - '0');
  EXPECT_EQ(got[4], 1) << "beyond the text the flags keep their values";
}

TEST_F(Settings, MissingAndBadKeysInAnExistingFile) {
  WriteSettings("[]\r\nCycleInterval=abc\r\n");
  CLocalSettings s;
  EXPECT_EQ(s.GetLangID(), 0);  // missing: Chinese, not "follow the system"
  EXPECT_EQ(s.GetWndMode(), 0);
  EXPECT_EQ(s.GetCircleVideo(), 0);
  EXPECT_EQ(s.GetDownLoadPath(), u"");
  // Read as they stand, 0 for text that is no number and for a missing key: the cycling and
  // the recording ring, which use them, take care of values below 1.
  EXPECT_EQ(s.GetCycleInterval(), 0);
  EXPECT_EQ(s.GetFilePackSize(), 0);

  WriteSettings("[]\r\nFilePackSize=-5\r\nCycleInterval=7\r\nLangID= 1x\r\n");
  s.Reload();
  EXPECT_EQ(s.GetFilePackSize(), -5);
  EXPECT_EQ(s.GetCycleInterval(), 7);
  EXPECT_EQ(s.GetLangID(), 1);

  // Keys in other sections are not settings.
  WriteSettings("[Other]\r\nLangID=1\r\n[]\r\nWndMode=3\r\n");
  s.Reload();
  EXPECT_EQ(s.GetLangID(), 0);
  EXPECT_EQ(s.GetWndMode(), 3);
}

TEST_F(Settings, OneInstanceMadeOnFirstUse) {
  WriteSettings("[]\r\nCycleInterval=9\r\n");
  CLocalSettings* a = CLocalSettings::GetInstance();
  EXPECT_EQ(a, CLocalSettings::GetInstance());
  EXPECT_EQ(a->GetCycleInterval(), 9);
  harness::ResetServices();
  WriteSettings("[]\r\nCycleInterval=11\r\n");
  EXPECT_EQ(CLocalSettings::GetInstance()->GetCycleInterval(), 11);
}

TEST_F(Settings, IniFilePlacesPathsAndReadsValues) {
  CIniFile rel(u"sub\\a.ini", 1);
  EXPECT_EQ(rel.NativePath(), home_.string() + "/sub/a.ini");
  EXPECT_EQ(rel.IsRelative(), 1);
  CIniFile drive(u"D:\\b.ini", 1);
  EXPECT_EQ(drive.NativePath(), (root_ / "d" / "b.ini").string());
  EXPECT_EQ(drive.IsRelative(), 0);

  CIniFile ini(u"c.ini", 1);
  EXPECT_TRUE(ini.WriteInt(u"Count", -12, u"S"));
  EXPECT_TRUE(ini.WriteBool(u"On", true));
  EXPECT_TRUE(ini.WriteString(u"Name", u"名字 x"));
  EXPECT_EQ(ini.GetInt(u"Count", 5), -12);
  EXPECT_TRUE(ini.GetBool(u"On", false));
  EXPECT_EQ(ini.GetString(u"Name"), u"名字 x");
  EXPECT_EQ(ini.GetInt(u"Absent", 5), 5);
  EXPECT_EQ(ini.GetString(u"Absent", u"def"), u"def");
  EXPECT_FALSE(ini.HasKey(u"Count", u"T"));  // another section became current
  EXPECT_TRUE(ini.HasKey(u"Count", u"S"));

  // Values longer than a read returns are cut, never overrun.
  std::u16string longText(600, u'x');
  EXPECT_TRUE(ini.WriteString(u"Long", longText));
  EXPECT_EQ(ini.GetString(u"Long").size(), static_cast<size_t>(CIniFile::VALUE_CHARS));
}

TEST_F(Settings, TextToIntAsTheProfileReadsIt) {
  const std::map<std::u16string, int> cases = {
      {u"42", 42}, {u"  -7", -7}, {u"+3", 3}, {u"12abc", 12}, {u"abc", 0},
      {u"", 0},    {u"99999999999", 2147483647}, {u"-99999999999", -2147483647 - 1}};
  for (const auto& [text, value] : cases)
    EXPECT_EQ(CIniFile::TextToInt(text), value) << plat::utf16ToUtf8(text);
}

// The disk fills while the new text is written (the file-size limit stands in for a full
// disk): the save fails, the old file stays byte for byte and no temporary file is left.
TEST_F(Settings, ASaveThatFailsMidwayLeavesTheOldFileWhole) {
  CLocalSettings s;
  s.SetDownLoadPath(u"C:\\Down\\");
  ASSERT_EQ(s.Save(), 1);
  const std::string path = CLocalSettings::SettingsFilePath();
  const std::string old = ReadFile(path);
  ASSERT_FALSE(old.empty());

  s.SetDownLoadPath(u"C:\\" + std::u16string(4000, u'x') + u"\\");
  s.SetPictureSavePath(u"C:\\Pictures\\");
  {
    testsupport::FileSizeLimit disk(1024);
    ASSERT_TRUE(disk.ok());
    EXPECT_EQ(s.Save(), 0);
  }
  EXPECT_EQ(ReadFile(path), old);
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()))
    files += e.path().filename().string().rfind(std::filesystem::path(path).filename().string(), 0) == 0;
  EXPECT_EQ(files, 1);

  // With room again the whole new text lands in one write.
  ASSERT_EQ(s.Save(), 1);
  CLocalSettings reread;
  reread.Load();
  EXPECT_EQ(reread.GetPictureSavePath(), u"C:\\Pictures\\");

  // A program folder that is not there: nothing can be written.
  setenv("TARNWICK_HOME", (home_ / "missing").c_str(), 1);
  EXPECT_EQ(s.Save(), 0);
}
