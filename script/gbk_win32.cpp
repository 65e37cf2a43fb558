// GBK to UTF-16 on Windows: code page 936 named explicitly, so the result does
// not depend on the system's ANSI code page.
#include <windows.h>

#include "base/process_end.h"
#include "script/text.h"

namespace script {

std::u16string GbkToUtf16(const Text& text) {
  if (text.empty()) return std::u16string();
  constexpr UINT kGbk = 936;
  const int in_length = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(kGbk, 0, text.data(), in_length, nullptr, 0);
  if (length <= 0) base::FatalError(u"GBK conversion is not available");
  std::u16string wide(static_cast<size_t>(length), u'\0');
  MultiByteToWideChar(kGbk, 0, text.data(), in_length, reinterpret_cast<wchar_t*>(&wide[0]),
                      length);
  return wide;
}

}  // namespace script
