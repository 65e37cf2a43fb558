#include "link/hex.h"

namespace {

const char* const kHexDigits[16] = {"0", "1", "2", "3", "4", "5", "6", "7",
                                    "8", "9", "A", "B", "C", "D", "E", "F"};

}  // namespace

std::string ByteToHex(int32_t byte) {
  const int32_t high = (byte >> 4) & 15;
  const int32_t low = byte & 15;
  std::string pair = kHexDigits[high];
  pair += kHexDigits[low];
  return pair;
}

std::string BytesToHex(const ByteString& bytes) {
  std::string text;
  text.reserve(bytes.size() * 2);
  for (uint8_t byte : bytes) {
    const char* high = kHexDigits[byte >> 4];
    const char* low = kHexDigits[byte & 15];
    text += *high;
    text += *low;
  }
  return text;
}
