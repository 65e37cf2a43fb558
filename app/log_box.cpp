#include "app/log_box.h"

#include <algorithm>
#include <cmath>

#include "script/text.h"

namespace {

// Feeding the log box. Appending costs little when the box does not draw,
// and wrapping a long line re-measures the rest of its paragraph for every
// wrapped row, so:
// - drawing is suspended while lines arrive and resumed by a short timer, or
//   by the next append once it has been suspended too long (under a flood the
//   timer never gets its turn), so a run of appends costs one repaint. The
//   box stays visible meanwhile: it only leaves its paints for later, so Tab
//   and clicks still reach it and other programs never see it hidden;
// - a long text goes in as slices: each slice's rows then re-measure at most
//   one slice. Every insertion also walks the box's rows from the top, so the
//   slices grow with the log: measured under Wine, sqrt(1e6 + 9 x length)
//   characters balances the two costs;
// - a row without a space (a hex line has none) breaks where it is full,
//   instead of through the platform's much slower forced break.
constexpr UINT_PTR kResumeTimer = 0x4B56;  // the edit control's own timer is 0
constexpr UINT kResumeMs = 30;
constexpr DWORD kLongestSuspendMs = 60;
constexpr int kSpaceSearch = 128;

}  // namespace

LogBox::~LogBox() {
  if (box_ != nullptr && IsWindow(box_)) {
    KillTimer(box_, kResumeTimer);
    SetWindowLongPtrW(box_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(edit_proc_));
    SetWindowLongPtrW(box_, GWLP_USERDATA, 0);
  }
}

void LogBox::Attach(HWND box) {
  box_ = box;
  if (box_ == nullptr) return;
  // Lift the default limit to the platform's maximum for a multi-line box.
  SendMessageW(box_, EM_SETLIMITTEXT, 0, 0);
  SendMessageW(box_, EM_SETWORDBREAKPROC, 0, reinterpret_cast<LPARAM>(&LogBox::BreakRows));
  SetWindowLongPtrW(box_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  edit_proc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(box_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LogBox::Proc)));
}

LRESULT CALLBACK LogBox::Proc(HWND box, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<LogBox*>(GetWindowLongPtrW(box, GWLP_USERDATA));
  if (self == nullptr) {
    const auto class_proc = reinterpret_cast<WNDPROC>(GetClassLongPtrW(box, GCLP_WNDPROC));
    return CallWindowProcW(class_proc, box, msg, wparam, lparam);
  }
  const WNDPROC edit_proc = self->edit_proc_;
  switch (msg) {
    case WM_PAINT:
      if (self->suspended_) {
        // Validated without drawing; resuming invalidates the whole box.
        PAINTSTRUCT paint;
        BeginPaint(box, &paint);
        EndPaint(box, &paint);
        return 0;
      }
      break;
    case WM_ERASEBKGND:
      if (self->suspended_) return 1;
      break;
    case WM_TIMER:
      if (wparam == kResumeTimer) {
        self->ResumeDrawing();
        return 0;
      }
      break;
    case WM_NCDESTROY:
      // The box goes before its owner: the owner must not touch it again.
      SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(edit_proc));
      SetWindowLongPtrW(box, GWLP_USERDATA, 0);
      self->box_ = nullptr;
      self->suspended_ = false;
      break;
    default:
      break;
  }
  return CallWindowProcW(edit_proc, box, msg, wparam, lparam);
}

int CALLBACK LogBox::BreakRows(LPWSTR text, int pos, int count, int action) {
  switch (action) {
    case WB_ISDELIMITER:
      return pos >= 0 && pos < count && text[pos] == L' ';
    case WB_LEFT:
      for (int i = pos - 1; i > 0 && i > pos - kSpaceSearch; --i) {
        if (text[i] == L' ') return i + 1;
      }
      return pos;
    case WB_RIGHT:
      for (int i = pos; i < count; ++i) {
        if (text[i] == L' ') return i + 1;
      }
      return count;
    default:
      return 0;
  }
}

void LogBox::SuspendDrawing() {
  suspended_ = true;
  suspended_at_ = GetTickCount();
  SetTimer(box_, kResumeTimer, kResumeMs, nullptr);
}

void LogBox::ResumeDrawing() {
  if (box_ == nullptr) return;
  KillTimer(box_, kResumeTimer);
  if (!suspended_) return;
  suspended_ = false;
  SendMessageW(box_, EM_SCROLLCARET, 0, 0);
  RedrawWindow(box_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
}

std::vector<std::wstring> LogBox::Slices(const std::wstring& text, size_t held) {
  const size_t slice = static_cast<size_t>(std::sqrt(1e6 + 9.0 * static_cast<double>(held)));
  std::vector<std::wstring> slices;
  for (size_t at = 0; at < text.size();) {
    size_t size = std::min(slice, text.size() - at);
    // A CR LF goes in as one piece: the box never holds a line end cut in half.
    if (at + size < text.size() && text[at + size - 1] == L'\r' && text[at + size] == L'\n') {
      ++size;
    }
    slices.push_back(text.substr(at, size));
    at += size;
  }
  return slices;
}

void LogBox::Append(const char* gbk) {
  if (box_ == nullptr) return;
  if (!suspended_) SuspendDrawing();
  const std::u16string wide = GbkToUtf16(gbk != nullptr ? gbk : "");
  const std::wstring text(wide.begin(), wide.end());
  const LRESULT end = SendMessageW(box_, WM_GETTEXTLENGTH, 0, 0);
  DWORD start = 0, stop = 0;
  SendMessageW(box_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&stop));
  if (start != static_cast<DWORD>(end) || stop != static_cast<DWORD>(end)) {
    SendMessageW(box_, EM_SETSEL, end, end);
  }
  // The caret is scrolled into view when drawing resumes.
  for (const std::wstring& slice : Slices(text, static_cast<size_t>(end))) {
    SendMessageW(box_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(slice.c_str()));
  }
  if (GetTickCount() - suspended_at_ >= kLongestSuspendMs) ResumeDrawing();
}
