#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <set>
#include <string>

#include "plat/text.h"
#include "shell/GuidString.h"
#include "shell/TChar.h"

// Wide text holds 1023 characters, narrow text 511 bytes; longer text changes nothing.
TEST(TextConv, BufferLimits) {
  std::u16string fits(1023, u'a');
  CTChar t(fits);
  EXPECT_EQ(std::u16string(t.GetWide()), fits);
  EXPECT_EQ(std::strlen(t.GetNarrow()), 511u);  // the narrow form cut to its buffer
  t.SetWide(std::u16string(1024, u'b'));
  EXPECT_EQ(std::u16string(t.GetWide()), fits);
  EXPECT_EQ(std::string(t.GetNarrow()), std::string(511, 'a'));

  std::string narrowFits(511, 'n');
  CTChar n(narrowFits);
  EXPECT_EQ(std::string(n.GetNarrow()), narrowFits);
  EXPECT_EQ(std::u16string(n.GetWide()), std::u16string(511, u'n'));
  n.SetNarrow(std::string(512, 'm'));
  EXPECT_EQ(std::string(n.GetNarrow()), narrowFits);
  EXPECT_EQ(std::u16string(n.GetWide()).size(), 511u);
}

TEST(TextConv, ChineseGoesThroughOneCodePageAndIsNeverCutInsideACharacter) {
  CTChar w(u"设备一号");
  std::string gbk = w.GetNarrow();
  EXPECT_EQ(gbk.size(), 8u);  // two bytes a character in GBK
  EXPECT_EQ(gbk, plat::utf16ToGbk(u"设备一号"));
  CTChar n(gbk);
  EXPECT_EQ(std::u16string(n.GetWide()), u"设备一号");

  // 256 Chinese characters are 512 bytes of GBK: one byte more than the buffer holds.
  std::u16string wide(256, u'中');
  CTChar t(wide);
  std::string narrow = t.GetNarrow();
  EXPECT_EQ(narrow.size(), 510u);
  EXPECT_EQ(plat::gbkToUtf16(narrow), std::u16string(255, u'中'));
  EXPECT_EQ(std::u16string(t.GetWide()), wide);
}

TEST(TextConv, EmptyAndNullInputs) {
  CTChar a;
  EXPECT_STREQ(a.GetNarrow(), "");
  EXPECT_EQ(a.GetWide()[0], 0);
  CTChar b(static_cast<const char*>(nullptr));
  CTChar c(static_cast<const char16_t*>(nullptr));
  EXPECT_STREQ(b.GetNarrow(), "");
  EXPECT_EQ(c.GetWide()[0], 0);
  CTChar d(u"x");
  d.SetWide(u"");
  EXPECT_STREQ(d.GetNarrow(), "");
}

TEST(GuidText, FormatAndUniqueness) {
  std::set<std::u16string> seen;
  const std::regex shape("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
  for (int i = 0; i < 50; ++i) {
    char16_t buf[40];
    std::fill(std::begin(buf), std::end(buf), u'#');
    ASSERT_TRUE(MakeGuidString(buf));
    std::u16string text(buf);
    EXPECT_EQ(text.size(), GUID_TEXT_CHARS);
    EXPECT_EQ(buf[37], u'#');  // nothing written past the terminator
    EXPECT_TRUE(std::regex_match(plat::utf16ToUtf8(text), shape)) << plat::utf16ToUtf8(text);
    seen.insert(text);
  }
  EXPECT_EQ(seen.size(), 50u);

  // Fields in order, each zero-padded to its width.
  EXPECT_EQ(FormatGuid(0x0A1B2C3D, 0x4E5F, 0x0607, {0x80, 0x91, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6, 0xF7}),
            u"0A1B2C3D-4E5F-0607-8091-A2B3C4D5E6F7");
  EXPECT_EQ(FormatGuid(0, 0, 0, {}), u"00000000-0000-0000-0000-000000000000");
}
