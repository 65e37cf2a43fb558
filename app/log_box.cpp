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
// - a repaint walks the box's rows from the top for each row it draws: at
//   half a million rows it takes about a tenth of a second. So under a flood
//   the box stays suspended for eight times as long as its last repaint took,
//   and drawing keeps a bounded share of the time however long the log grows;
// - a long line goes in as slices: each slice's rows then re-measure at most
//   one slice (a line of digits alone re-measures the rest of its paragraph
//   for every row). Every insertion also walks the box's rows from the top,
//   so the slices grow with the log: measured under Wine,
//   sqrt(1e6 + 9 x length) characters balances the two costs;
// - a row without a space (a hex line has none) breaks where it is full,
//   instead of through the platform's much slower forced break;
// - every insertion also pays for the whole box: Wine copies the text to a
//   buffer one insertion larger and walks every row, about 6 ms per million
//   characters held. So while other work waits in the queue, or right after
//   a slow insertion (under a flood, both), appended text is held and goes
//   in with what follows, in order: once 1/800 of the box is waiting,
//   or when nothing else waits, or after a short while. Holding the caller
//   at that size keeps the reading side from running ahead of the box. An
//   append to a box that was quiet, or quick, goes in at once.
constexpr UINT_PTR kResumeTimer = 0x4B56;  // the edit control's own timer is 0
constexpr UINT kResumeMs = 30;
constexpr DWORD kLongestSuspendMs = 60;
constexpr DWORD kSuspendPerRepaint = 8;
constexpr int kSpaceSearch = 128;
constexpr UINT kInsertHeldMessage = WM_APP + 0x56;
constexpr DWORD kLongestHoldMs = 50;
constexpr size_t kLeastHold = 8192;
constexpr size_t kBoxPerHold = 800;
constexpr DWORD kSlowInsertMs = 10;

bool OtherWorkWaits() {
  return (HIWORD(GetQueueStatus(QS_ALLPOSTMESSAGE)) & QS_ALLPOSTMESSAGE) != 0;
}

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
    case kInsertHeldMessage:
      self->OnInsertHeld();
      return 0;
    case WM_NCDESTROY:
      // The box goes before its owner: the owner must not touch it again.
      SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(edit_proc));
      SetWindowLongPtrW(box, GWLP_USERDATA, 0);
      self->box_ = nullptr;
      self->suspended_ = false;
      self->waiting_.clear();
      self->insert_queued_ = false;
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
  const DWORD start = GetTickCount();
  SendMessageW(box_, EM_SCROLLCARET, 0, 0);
  RedrawWindow(box_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
  last_repaint_ms_ = GetTickCount() - start;
}

std::vector<std::wstring> LogBox::Slices(const std::wstring& text, size_t held) {
  const size_t slice = static_cast<size_t>(std::sqrt(1e6 + 9.0 * static_cast<double>(held)));
  std::vector<std::wstring> slices;
  size_t piece = 0;  // where the piece being gathered starts
  size_t run = 0;    // characters of the current line in that piece
  for (size_t at = 0; at < text.size(); ++at) {
    // A LF ends the line. A piece is never cut right before a CR or a LF, so
    // a line end always goes in whole, with the end of its line.
    if (text[at] == L'\n' || text[at] == L'\r') {
      if (text[at] == L'\n') run = 0;
      continue;
    }
    if (run == slice) {
      slices.push_back(text.substr(piece, at - piece));
      piece = at;
      run = 0;
    }
    ++run;
  }
  if (piece < text.size()) slices.push_back(text.substr(piece));
  return slices;
}

size_t LogBox::HoldLimit(size_t in_box) { return std::max(kLeastHold, in_box / kBoxPerHold); }

void LogBox::Append(const char* gbk) {
  if (box_ == nullptr) return;
  const std::u16string wide = GbkToUtf16(gbk != nullptr ? gbk : "");
  const std::wstring text(wide.begin(), wide.end());
  const bool busy = last_insert_ms_ >= kSlowInsertMs &&
                    GetTickCount() - last_insert_end_ < kLongestHoldMs;
  if (waiting_.empty() && !busy && !OtherWorkWaits()) {
    Insert(text);
    return;
  }
  if (waiting_.empty()) waiting_since_ = GetTickCount();
  waiting_ += text;
  if (waiting_.size() >= HoldLimit(in_box_)) {
    InsertHeld();
  } else if (!insert_queued_) {
    insert_queued_ = PostMessageW(box_, kInsertHeldMessage, 0, 0) != 0;
    if (!insert_queued_) InsertHeld();
  }
}

void LogBox::OnInsertHeld() {
  insert_queued_ = false;
  if (waiting_.empty()) return;
  // Queued again behind what came in meanwhile, while that is worth it.
  if (waiting_.size() < HoldLimit(in_box_) && GetTickCount() - waiting_since_ < kLongestHoldMs &&
      OtherWorkWaits()) {
    insert_queued_ = PostMessageW(box_, kInsertHeldMessage, 0, 0) != 0;
    if (insert_queued_) return;
  }
  InsertHeld();
}

void LogBox::InsertHeld() {
  std::wstring text;
  text.swap(waiting_);
  Insert(text);
}

void LogBox::Insert(const std::wstring& text) {
  const DWORD began = GetTickCount();
  if (!suspended_) SuspendDrawing();
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
  in_box_ = static_cast<size_t>(end) + text.size();
  last_insert_end_ = GetTickCount();
  last_insert_ms_ = last_insert_end_ - began;
  const DWORD longest = std::max(kLongestSuspendMs, kSuspendPerRepaint * last_repaint_ms_);
  if (GetTickCount() - suspended_at_ >= longest) ResumeDrawing();
}
