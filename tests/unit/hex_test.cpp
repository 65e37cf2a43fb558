#include <gtest/gtest.h>

#include <string>

#include "link/hex.h"

namespace {

TEST(HexTest, ByteToHexGivesTwoUpperCaseDigits) {
  const struct {
    int32_t byte;
    const char* hex;
  } cases[] = {{0x00, "00"}, {0x0A, "0A"}, {0xFF, "FF"}, {0x7F, "7F"}, {0xC6, "C6"}, {0x10, "10"}};
  for (const auto& c : cases) EXPECT_EQ(ByteToHex(c.byte), c.hex) << c.byte;
}

TEST(HexTest, BytesToHexRendersEachPayload) {
  const struct {
    ByteString bytes;
    const char* hex;
  } cases[] = {
      {{}, ""},
      {{0xC6, 0xD5, 0xB9, 0xA5}, "C6D5B9A5"},
      {{0xB1, 0x7F, 0x39, 0x05}, "B17F3905"},
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 0}, "01020304050607080900"},
      {{0xB1, 0x7F, 0x39, 0x05, 0xC6, 0xD5, 0xB9, 0xA5}, "B17F3905C6D5B9A5"},
  };
  for (const auto& c : cases) EXPECT_EQ(BytesToHex(c.bytes), c.hex);
}

TEST(HexTest, EveryByteValueMatchesByteToHex) {
  ByteString all;
  std::string expected;
  for (int b = 0; b < 256; ++b) {
    all.push_back(static_cast<uint8_t>(b));
    expected += ByteToHex(b);
  }
  const std::string hex = BytesToHex(all);
  EXPECT_EQ(hex, expected);
  EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
}

}  // namespace
