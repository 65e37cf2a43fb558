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
  // view when the box draws again.
  void Append(const char* gbk);

  // The pieces a text is fed in as, when the box holds `held` characters:
  // concatenated they are the text, and a CR LF is never split between two.
  static std::vector<std::wstring> Slices(const std::wstring& text, size_t held);

 private:
  static LRESULT CALLBACK Proc(HWND box, UINT msg, WPARAM wparam, LPARAM lparam);
  static int CALLBACK BreakRows(LPWSTR text, int pos, int count, int action);
  void SuspendDrawing();
  void ResumeDrawing();

  HWND box_ = nullptr;
  WNDPROC edit_proc_ = nullptr;
  bool suspended_ = false;
  DWORD suspended_at_ = 0;
};
