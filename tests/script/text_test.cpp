#include <gtest/gtest.h>

#include "script/text.h"

namespace {

struct LowerCase {
  const char* what;
  Text given;
  Text lowered;
};

void PrintTo(const LowerCase& c, std::ostream* out) { *out << c.what; }

class ToLowerTextTest : public ::testing::TestWithParam<LowerCase> {};

TEST_P(ToLowerTextTest, FoldsOnlyAsciiCapitalsOutsideDoubleByteCharacters) {
  EXPECT_EQ(ToLowerText(GetParam().given), GetParam().lowered);
}

// 0x81 0x41 and 0x81 0x61 are two different GBK characters.
INSTANTIATE_TEST_SUITE_P(
    Cases, ToLowerTextTest,
    ::testing::Values(
        LowerCase{"empty", "", ""},
        LowerCase{"mixed case", "Count", "count"},
        LowerCase{"letters at the edges of the range", "AZ@[`{az09_#", "az@[`{az09_#"},
        LowerCase{"capital as trail byte stays", "\x81\x41", "\x81\x41"},
        LowerCase{"letter after a character folds", "\x81\x41" "B", "\x81\x41" "b"},
        LowerCase{"Chinese then Latin", "GBK\xD6\xD0\xCE\xC4" "X", "gbk\xD6\xD0\xCE\xC4" "x"},
        LowerCase{"0x80 takes the next byte along", "\x80" "A", "\x80" "A"},
        LowerCase{"0xFF takes the next byte along", "\xFF" "A", "\xFF" "A"},
        LowerCase{"lead byte at the end", "A\x81", "a\x81"},
        LowerCase{"zero byte inside", std::string("A\0B", 3), std::string("a\0b", 3)}));

struct GbkCase {
  const char* what;
  Text gbk;
  std::u16string utf16;
};

void PrintTo(const GbkCase& c, std::ostream* out) { *out << c.what; }

class GbkToUtf16Test : public ::testing::TestWithParam<GbkCase> {};

TEST_P(GbkToUtf16Test, ConvertsAsCodePage936) {
  EXPECT_EQ(GbkToUtf16(GetParam().gbk), GetParam().utf16);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GbkToUtf16Test,
    ::testing::Values(
        GbkCase{"empty", "", u""},
        GbkCase{"ASCII and controls", "#crlf\r\n\t ", u"#crlf\r\n\t "},
        GbkCase{"Chinese", "#GBK\xD6\xD0\xCE\xC4\xD5\xE6", u"#GBK中文真"},
        GbkCase{"messages", "\xB1\xE4\xC1\xBF\xD6\xD8\xB6\xA8\xD2\xE5:", u"变量重定义:"},
        GbkCase{"trail byte in the ASCII range", "\x81\x40\x81\x41", u"丂丄"},
        GbkCase{"euro sign", "\x80", u"\u20AC"},
        GbkCase{"middle dot and dash", "\xA1\xA4\xA1\xAA", u"\u00B7\u2014"},
        GbkCase{"user-defined areas", "\xAA\xA1\xF8\xA1\xA1\x40\xA7\xA0",
                u"\uE000\uE234\uE4C6\uE765"},
        GbkCase{"scattered user-defined codes", "\xA2\xAB\xA2\xE3\xFE\x50\xFE\xA0",
                u"\uE766\uE76C\uE815\uE864"},
        GbkCase{"lead byte at the end", "a\x81", u"a?"}));

// A gap in the native table would turn a character into '?'.
TEST(GbkToUtf16Coverage, EveryDoubleByteCodeGivesOneCharacter) {
  int gaps = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const Text pair = {static_cast<char>(lead), static_cast<char>(trail)};
      const std::u16string wide = GbkToUtf16(pair);
      if (wide.size() != 1 || wide[0] == u'?') {
        if (++gaps <= 5) ADD_FAILURE() << std::hex << "code " << lead << trail;
      }
    }
  }
  EXPECT_EQ(gaps, 0);
}

}  // namespace
