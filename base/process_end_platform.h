// Where the process end meets the operating system.
#pragma once

#include <cstdint>
#include <string>

namespace base::platform {

int ShowMessageBox(const std::u16string& text, const std::u16string& title, uint32_t style);
[[noreturn]] void EndProcessNow(int status);

}  // namespace base::platform
