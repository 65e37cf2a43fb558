// Native build (tests under the sanitizers): a message box becomes a line on
// standard error, so death tests can match it.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "base/process_end_platform.h"

namespace base::platform {
namespace {

std::string ToUtf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

int ShowMessageBox(const std::u16string& text, const std::u16string& title, uint32_t style) {
  std::fprintf(stderr, "[message box %#x] %s: %s\n", static_cast<unsigned>(style),
               ToUtf8(title).c_str(), ToUtf8(text).c_str());
  return 1;  // OK
}

void EndProcessNow(int status) {
  std::fflush(nullptr);
  _exit(status);
}

}  // namespace base::platform
