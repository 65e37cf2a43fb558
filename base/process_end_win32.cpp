#include <windows.h>

#include "base/process_end_platform.h"

namespace base::platform {

int ShowMessageBox(const std::u16string& text, const std::u16string& title, uint32_t style) {
  return MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()),
                     reinterpret_cast<const wchar_t*>(title.c_str()), style);
}

void EndProcessNow(int status) {
  ExitProcess(static_cast<UINT>(status));
}

}  // namespace base::platform
