// The log box: a multi-line edit control that the program only appends to.
// It owns how lines are fed in, when the box draws, and where its rows break.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

class LogBox {
 public:
  LogBox() = default;
  ~LogBox();
  LogBox(const LogBox&) = delete;
  LogBox& operator=(const LogBox&) = delete;

  // Takes over a freshly created multi-line edit control: lifts its text
  // limit to the platform's maximum and sets its row breaks.
  void Attach(HWND box);
  HWND hwnd() const { return box_; }

  // Appends a GBK text at the end of the box: the caret goes to the end and
  // a selection the user made is dropped. The newest text is scrolled into
  // view when the box draws again. While other work waits in the thread's
  // queue, or right after a slow insertion, the text may be held for a moment
  // and go in with the lines after it, in order; the caller is held back once
  // enough text is waiting.
  void Append(const char* gbk);

  // The pieces a text is fed in as, when the box holds `held` characters:
  // concatenated they are the text, a CR LF is never split between two, and
  // no piece holds more than a slice's worth of any one line.
  static std::vector<std::wstring> Slices(const std::wstring& text, size_t held);
  // How much text is held before it goes in at once, when the box holds
  // `in_box` characters.
  static size_t HoldLimit(size_t in_box);

 private:
  static LRESULT CALLBACK Proc(HWND box, UINT msg, WPARAM wparam, LPARAM lparam);
  static int CALLBACK BreakRows(LPWSTR text, int pos, int count, int action);
  void SuspendDrawing();
  void ResumeDrawing();
  void Insert(const std::wstring& text);
  void InsertHeld();
  void OnInsertHeld();

  HWND box_ = nullptr;
  WNDPROC edit_proc_ = nullptr;
  bool suspended_ = false;
  DWORD suspended_at_ = 0;
  DWORD last_repaint_ms_ = 0;
  std::wstring waiting_;  // appended, not yet in the box
  size_t in_box_ = 0;     // the box's length after the last insertion
  DWORD waiting_since_ = 0;
  DWORD last_insert_ms_ = 0;  // how long the last insertion took
  DWORD last_insert_end_ = 0;
  bool insert_queued_ = false;
};
