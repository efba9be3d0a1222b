#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/stat.h>

#include "plat/profile.h"
#include "plat/text.h"
#include "support/TestFolder.h"

namespace {

struct ProfileTest : ::testing::Test {
  std::string dir, path;
  void SetUp() override {
    dir = testsupport::NewTestFolder();
    path = dir + "/test.ini";
  }
  void TearDown() override {
    std::remove(path.c_str());
    std::remove(dir.c_str());
  }
  std::string fileText() {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
  std::u16string get(const std::u16string& sec, const std::u16string& key,
                     const std::u16string& def = u"dflt", uint32_t size = 256) {
    std::u16string buf(size, u'\0');
    uint32_t n = plat::getPrivateProfileString(sec, key, def, buf.data(), size, path);
    return buf.substr(0, n);
  }
};

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(get(u"", u"LangID"), u"dflt");
  EXPECT_EQ(plat::getPrivateProfileInt(u"", u"LangID", 99, path), 99);
  ASSERT_TRUE(plat::writePrivateProfileString(u"other", u"LangID", u"1", path));
  EXPECT_EQ(get(u"", u"LangID"), u"dflt");
  EXPECT_EQ(get(u"other", u"Missing"), u"dflt");
}

TEST_F(ProfileTest, WriteCreatesTheEmptyNamedSectionAndReadsBack) {
  ASSERT_TRUE(plat::writePrivateProfileString(u"", u"WndMode", u"4", path));
  ASSERT_TRUE(plat::writePrivateProfileString(u"", u"AllDisk", u"0110", path));
  ASSERT_TRUE(plat::writePrivateProfileString(u"", u"WndMode", u"9", path));  // replaced
  EXPECT_EQ(fileText(), "[]\r\nWndMode=9\r\nAllDisk=0110\r\n");
  EXPECT_EQ(plat::getPrivateProfileInt(u"", u"wndmode", 0, path), 9);  // keys ignore case
  EXPECT_EQ(get(u"", u"AllDisk"), u"0110");
}

// A new file is its owner's alone, whatever the process's file mode mask allows; a rewrite
// keeps the mode the file had.
TEST_F(ProfileTest, ANewFileIsTheOwnersAloneAndARewriteKeepsTheMode) {
  const mode_t mask = ::umask(022);
  ASSERT_TRUE(plat::writePrivateProfileString(u"", u"WndMode", u"4", path));
  struct stat st{};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ::chmod(path.c_str(), 0640);
  ASSERT_TRUE(plat::writePrivateProfileString(u"", u"WndMode", u"5", path));
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  ::umask(mask);
}

TEST_F(ProfileTest, ResultsAreCutToTheCallersBuffer) {
  ASSERT_TRUE(plat::writePrivateProfileString(u"s", u"k", u"abcdefgh", path));
  EXPECT_EQ(get(u"s", u"k", u"", 5), u"abcd");
  EXPECT_EQ(get(u"s", u"missing", u"0123456789", 4), u"012");
  char16_t one[1];
  EXPECT_EQ(plat::getPrivateProfileString(u"s", u"k", u"", one, 1, path), 0u);
  EXPECT_EQ(one[0], u'\0');
}

TEST_F(ProfileTest, ChineseTextRoundTripsAndGbkFilesAreRead) {
  const std::u16string cn = u"D:\\录像\\图片";
  ASSERT_TRUE(plat::writePrivateProfileString(u"", u"PictureSavePath", cn, path));
  EXPECT_EQ(get(u"", u"PictureSavePath"), cn);
  // A file written on a Chinese system holds GBK text.
  {
    std::ofstream f(path, std::ios::binary);
    f << "[]\r\nDownLoadPath=" << plat::utf16ToGbk(u"C:\\下载") << "\r\n";
  }
  EXPECT_EQ(get(u"", u"DownLoadPath"), u"C:\\下载");
}

TEST_F(ProfileTest, IntegersTakeTheLeadingDigits) {
  plat::writePrivateProfileString(u"", u"a", u"12abc", path);
  plat::writePrivateProfileString(u"", u"b", u"-7", path);
  plat::writePrivateProfileString(u"", u"c", u"x1", path);
  EXPECT_EQ(plat::getPrivateProfileInt(u"", u"a", 5, path), 12);
  EXPECT_EQ(plat::getPrivateProfileInt(u"", u"b", 5, path), -7);
  EXPECT_EQ(plat::getPrivateProfileInt(u"", u"c", 5, path), 0);
}

TEST_F(ProfileTest, WriteToAnUnwritableFolderFails) {
  EXPECT_FALSE(plat::writePrivateProfileString(u"", u"k", u"v", "/nonexistent-dir/x.ini"));
  EXPECT_FALSE(plat::writePrivateProfileString(u"", u"", u"v", path));
}

}  // namespace
