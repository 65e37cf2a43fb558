#include "base/process_end.h"

#include <new>

#include "base/process_end_platform.h"

namespace base {
namespace {

ExitRoutine g_exit_routine = nullptr;
MessageBoxFn g_message_box = nullptr;

void OnOutOfMemory() { FatalError(u"内存不足"); }

}  // namespace

void StoreExitRoutine(ExitRoutine routine) { g_exit_routine = routine; }

ExitRoutine StoredExitRoutine() { return g_exit_routine; }

void RunExitRoutine() {
  ExitRoutine routine = g_exit_routine;
  g_exit_routine = nullptr;
  if (routine != nullptr) routine();
}

MessageBoxFn SetMessageBoxSeam(MessageBoxFn show) {
  MessageBoxFn previous = g_message_box;
  g_message_box = show;
  return previous;
}

int ShowMessageBox(const std::u16string& text, const std::u16string& title, uint32_t style) {
  if (g_message_box != nullptr) return g_message_box(text, title, style);
  return platform::ShowMessageBox(text, title, style);
}

void FatalError(const std::u16string& message) {
  g_exit_routine = nullptr;
  ShowMessageBox(message, u"Kestravo", kBoxIconError | kBoxTaskModal);
  platform::EndProcessNow(-1);
}

void InstallOutOfMemoryHandler() { std::set_new_handler(&OnOutOfMemory); }

}  // namespace base
