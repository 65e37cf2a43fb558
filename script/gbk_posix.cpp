// GBK to UTF-16 natively, giving what Windows gives for code page 936: glibc's
// GBK table for the standard characters, plus the user-defined areas that
// Windows maps into the private use area and glibc leaves out.
#include <iconv.h>

#include <iterator>

#include "base/process_end.h"
#include "script/text.h"

namespace script {
namespace {

constexpr char16_t kUnmappable = u'?';

bool IsLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }
bool IsTrailByte(unsigned char byte) { return byte >= 0x40 && byte <= 0xFE && byte != 0x7F; }

// Scattered user-defined codes, in code order, numbered on from U+E766.
struct UserRun {
  uint16_t first_code;
  uint16_t first_unit;
  uint16_t length;
};
constexpr UserRun kScatteredUserCodes[] = {
    {0xA2AB, 0xE766, 6},  {0xA2E3, 0xE76C, 2},  {0xA2EF, 0xE76E, 2},  {0xA2FD, 0xE770, 2},
    {0xA4F4, 0xE772, 11}, {0xA5F7, 0xE77D, 8},  {0xA6B9, 0xE785, 8},  {0xA6D9, 0xE78D, 7},
    {0xA6EC, 0xE794, 2},  {0xA6F3, 0xE796, 1},  {0xA6F6, 0xE797, 9},  {0xA7C2, 0xE7A0, 15},
    {0xA7F2, 0xE7AF, 13}, {0xA896, 0xE7BC, 11}, {0xA8BC, 0xE7C7, 1},  {0xA8BF, 0xE7C8, 1},
    {0xA8C1, 0xE7C9, 4},  {0xA8EA, 0xE7CD, 21}, {0xA958, 0xE7E2, 1},  {0xA95B, 0xE7E3, 1},
    {0xA95D, 0xE7E4, 3},  {0xA989, 0xE7E7, 13}, {0xA997, 0xE7F4, 13}, {0xA9F0, 0xE801, 15},
    {0xD7FA, 0xE810, 5},  {0xFE50, 0xE815, 47}, {0xFE80, 0xE844, 33},
};

// The user-defined character of a pair that glibc does not map, or 0.
char16_t UserDefined(unsigned char lead, unsigned char trail) {
  if (lead >= 0xAA && lead <= 0xAF && trail >= 0xA1) {
    return static_cast<char16_t>(0xE000 + (lead - 0xAA) * 94 + (trail - 0xA1));
  }
  if (lead >= 0xF8 && trail >= 0xA1) {
    return static_cast<char16_t>(0xE234 + (lead - 0xF8) * 94 + (trail - 0xA1));
  }
  if (lead >= 0xA1 && lead <= 0xA7 && trail <= 0xA0) {
    const int column = trail - 0x40 - (trail > 0x7F ? 1 : 0);
    return static_cast<char16_t>(0xE4C6 + (lead - 0xA1) * 96 + column);
  }
  const uint16_t code = static_cast<uint16_t>(lead << 8 | trail);
  for (const UserRun& run : kScatteredUserCodes) {
    if (code >= run.first_code && code < run.first_code + run.length) {
      return static_cast<char16_t>(run.first_unit + (code - run.first_code));
    }
  }
  return 0;
}

class GbkDecoder {
 public:
  GbkDecoder() : descriptor_(iconv_open("UTF-16LE", "GBK")) {
    if (descriptor_ == reinterpret_cast<iconv_t>(-1)) {
      base::FatalError(u"GBK conversion is not available");
    }
  }
  ~GbkDecoder() { iconv_close(descriptor_); }
  GbkDecoder(const GbkDecoder&) = delete;
  GbkDecoder& operator=(const GbkDecoder&) = delete;

  // One double-byte character; U+0000 when the table has none.
  char16_t Pair(unsigned char lead, unsigned char trail) {
    char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    unsigned char out[4] = {};
    char* in_at = in;
    char* out_at = reinterpret_cast<char*>(out);
    size_t in_left = sizeof in;
    size_t out_left = sizeof out;
    iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
    const size_t result = iconv(descriptor_, &in_at, &in_left, &out_at, &out_left);
    // Every GBK character is one unit of the basic plane.
    if (result == static_cast<size_t>(-1) || sizeof out - out_left != 2) return 0;
    return static_cast<char16_t>(out[0] | out[1] << 8);
  }

 private:
  iconv_t descriptor_;
};

}  // namespace

std::u16string GbkToUtf16(const Text& text) {
  std::u16string wide;
  wide.reserve(text.size());
  GbkDecoder decoder;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) {
      wide += static_cast<char16_t>(byte);
    } else if (byte == 0x80) {
      wide += u'\u20AC';
    } else if (byte == 0xFF) {
      wide += u'\uF8F5';
    } else if (i + 1 == text.size() || text[i + 1] == '\0') {
      wide += kUnmappable;  // a lead byte with nothing after it
    } else {
      const unsigned char trail = static_cast<unsigned char>(text[++i]);
      char16_t unit = 0;
      if (IsLeadByte(byte) && IsTrailByte(trail)) {
        unit = decoder.Pair(byte, trail);
        if (unit == 0) unit = UserDefined(byte, trail);
      }
      wide += unit != 0 ? unit : kUnmappable;
    }
  }
  return wide;
}

}  // namespace script
