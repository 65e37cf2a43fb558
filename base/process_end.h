// How the process ends: the one routine that runs at an orderly end, and fatal
// errors, which end the process at once without it. Every message box of the
// program goes through here too.
//
// The application layer and the script module both build on this, and
// nothing here depends on either. It also builds natively on Linux, so the
// script module and its tests can use it under the sanitizers.
#pragma once

#include <cstdint>
#include <string>

namespace base {

using ExitRoutine = void (*)();

// One slot. Storing replaces what was stored before.
void StoreExitRoutine(ExitRoutine routine);
ExitRoutine StoredExitRoutine();
// Calls the stored routine, if any, exactly once and empties the slot.
void RunExitRoutine();

// Message box styles, with the values Windows gives them.
constexpr uint32_t kBoxOk = 0x0;
constexpr uint32_t kBoxIconError = 0x10;
constexpr uint32_t kBoxTaskModal = 0x2000;

// Every message box of the program goes through this seam, so tests can see
// what would be shown without a dialog blocking them. Returns the button.
using MessageBoxFn = int (*)(const std::u16string& text, const std::u16string& title,
                             uint32_t style);
// Installs a replacement (nullptr restores the real one); returns the previous.
MessageBoxFn SetMessageBoxSeam(MessageBoxFn show);
int ShowMessageBox(const std::u16string& text, const std::u16string& title, uint32_t style);

// A fatal error: the exit routine slot is emptied, the fatal-error box is
// shown, and the process ends at once with exit status -1.
[[noreturn]] void FatalError(const std::u16string& message);

// Installs FatalError as the handler of failed allocations.
void InstallOutOfMemoryHandler();

}  // namespace base
