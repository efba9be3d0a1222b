#include <gtest/gtest.h>

#include <cstring>

#include "plat/text.h"

namespace {

TEST(Text, Utf8AndUtf16RoundTripIncludingSurrogates) {
  const std::u16string s = u"录像 abc \U0001F600";
  EXPECT_EQ(plat::utf8ToUtf16(plat::utf16ToUtf8(s)), s);
  EXPECT_EQ(plat::utf8ToUtf16("\xff"), u"\uFFFD");
  EXPECT_FALSE(plat::isValidUtf8("\xc3"));
  EXPECT_TRUE(plat::isValidUtf8("录像"));
}

TEST(Text, GbkRoundTripAndByteCounts) {
  const std::u16string s = u"摄像机A1";
  std::string g = plat::utf16ToGbk(s);
  EXPECT_EQ(g.size(), 3u * 2 + 2);
  EXPECT_EQ(plat::gbkToUtf16(g), s);
}

TEST(Text, GbkIsCutAtACharacterBoundary) {
  std::string g = plat::utf16ToGbk(u"a录像", 4);  // 'a' + one 2-byte char fits, the next does not
  EXPECT_EQ(plat::gbkToUtf16(g), u"a录");
  char field[4];
  plat::copyToField(field, sizeof field, plat::utf16ToGbk(u"录像"));
  EXPECT_EQ(plat::fieldText(field, sizeof field), plat::utf16ToGbk(u"录"));
  EXPECT_EQ(field[3], '\0');
}

TEST(Text, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(plat::utf16ToGbk(u"a\U0001F600b"), "a?b");
}

TEST(Text, FieldTextStopsAtTheFieldEnd) {
  char f[4] = {'a', 'b', 'c', 'd'};  // no terminator
  EXPECT_EQ(plat::fieldText(f, 4), "abcd");
}

}  // namespace

namespace {

TEST(Text, StoredNumbersReadAsTheSystemReadsThem) {
  EXPECT_EQ(plat::textToInt(u"  42abc"), 42);
  EXPECT_EQ(plat::textToInt(u"-7"), -7);
  EXPECT_EQ(plat::textToInt(u"+3"), 3);
  EXPECT_EQ(plat::textToInt(u"x1"), 0);
  EXPECT_EQ(plat::textToInt(u""), 0);
  EXPECT_EQ(plat::textToInt(u"99999999999999999999"), 2147483647);
  EXPECT_EQ(plat::textToInt(u"-2147483648"), -2147483647 - 1);
  EXPECT_EQ(plat::textToInt(u"-99999999999999999999"), -2147483647 - 1);
}

}  // namespace
