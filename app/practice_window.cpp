#include "app/practice_window.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "app/app_layer.h"
#include "app/window_description.h"
#include "link/foreign_sends.h"
#include "link/link_client.h"
#include "link/link_server.h"
#include "script/text.h"

LinkClient* link_client = nullptr;
LinkServer* link_server = nullptr;

namespace {

// Child identifiers start above IDOK and IDCANCEL so that no control is
// taken for a dialog's default or cancel button.
constexpr int kFirstControlId = 100;
// AppendToLog called on another thread (a learner's injected one) is carried
// over to the window's own thread.
constexpr UINT kAppendMessage = WM_APP + 1;

// Feeding the log box. Appending costs little when the box is not drawing,
// and wrapping a long line re-measures the rest of its paragraph for every
// wrapped row, so:
// - drawing is suspended while lines arrive and resumed by a short timer, or
//   by the next append once it has been suspended too long (under a flood the
//   timer never gets its turn), so a run of appends costs one repaint;
// - a long text goes in as slices: each slice's rows then re-measure at most
//   one slice. Every insertion also walks the box's rows from the top, so the
//   slices grow with the log: measured under Wine, sqrt(1e6 + 9 x length)
//   characters balances the two costs;
// - a row without a space (a hex line has none) breaks where it is full,
//   instead of through the platform's much slower forced break.
constexpr UINT_PTR kRepaintTimer = 1;
constexpr UINT kRepaintMs = 30;
constexpr DWORD kLongestSuspendMs = 60;
constexpr int kSpaceSearch = 128;

struct PracticeWindowState {
  HWND window = nullptr;
  HWND log_box = nullptr;
  DWORD thread = 0;
  bool log_suspended = false;
  DWORD log_suspended_at = 0;
  std::unique_ptr<LinkServer> server;
  std::unique_ptr<LinkClient> client;
};

PracticeWindowState g_state;

std::wstring Wide(const char* gbk) {
  const std::u16string text = GbkToUtf16(gbk != nullptr ? gbk : "");
  return std::wstring(text.begin(), text.end());
}

const ControlRecord& WindowRecord() { return kPracticeWindowDescription[0]; }

void RaiseEvent(const ControlRecord& record, ControlEvent event) {
  for (const EventBinding& binding : record.bindings) {
    if (binding.handler != nullptr && binding.event == event) binding.handler();
  }
}

// Binds an endpoint's events as its record lists them (every one of the
// endpoint's own kind: the description is checked when it is compiled).
template <typename Endpoint>
void BindEndpoint(Endpoint& endpoint, const ControlRecord& record) {
  for (const EventBinding& binding : record.bindings) {
    if (binding.handler == nullptr) continue;
    endpoint.Bind(static_cast<typename Endpoint::Event>(binding.event.index()), binding.handler);
  }
}

int CALLBACK BreakLogRows(LPWSTR text, int pos, int count, int action) {
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

void SuspendLogDrawing(HWND box) {
  SendMessageW(box, WM_SETREDRAW, FALSE, 0);
  // Wine's edit control keeps drawing after WM_SETREDRAW; without the visible
  // style, which is what Windows itself drops for it, it does not.
  SetWindowLongW(box, GWL_STYLE, GetWindowLongW(box, GWL_STYLE) & ~WS_VISIBLE);
  g_state.log_suspended = true;
  g_state.log_suspended_at = GetTickCount();
  SetTimer(g_state.window, kRepaintTimer, kRepaintMs, nullptr);
}

void ResumeLogDrawing() {
  HWND box = g_state.log_box;
  KillTimer(g_state.window, kRepaintTimer);
  if (!g_state.log_suspended || box == nullptr) return;
  g_state.log_suspended = false;
  SetWindowLongW(box, GWL_STYLE, GetWindowLongW(box, GWL_STYLE) | WS_VISIBLE);
  SendMessageW(box, WM_SETREDRAW, TRUE, 0);
  SendMessageW(box, EM_SCROLLCARET, 0, 0);
  RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
}

void AppendOnWindowThread(const char* text) {
  HWND box = g_state.log_box;
  if (box == nullptr) return;
  if (!g_state.log_suspended) SuspendLogDrawing(box);
  const std::wstring line = Wide(text);
  const LRESULT end = SendMessageW(box, WM_GETTEXTLENGTH, 0, 0);
  DWORD start = 0, stop = 0;
  SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&stop));
  if (start != static_cast<DWORD>(end) || stop != static_cast<DWORD>(end)) {
    SendMessageW(box, EM_SETSEL, end, end);
  }
  // The caret is scrolled into view when drawing resumes.
  const size_t slice = static_cast<size_t>(std::sqrt(1e6 + 9.0 * static_cast<double>(end)));
  for (size_t at = 0; at < line.size();) {
    size_t size = std::min(slice, line.size() - at);
    if (at + size < line.size() && line[at + size - 1] == L'\r') ++size;  // keep CR LF whole
    const std::wstring slice = line.substr(at, size);
    SendMessageW(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(slice.c_str()));
    at += size;
  }
  if (GetTickCount() - g_state.log_suspended_at >= kLongestSuspendMs) ResumeLogDrawing();
}

// Esc closes the window from any control; Tab and Shift+Tab move the focus;
// Return does nothing outside the log box. Everything else goes through.
bool FilterKey(HWND window, const MSG& msg) {
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool alt = GetKeyState(VK_MENU) < 0;
  switch (msg.wParam) {
    case VK_ESCAPE:
      if (ctrl || shift || alt) return false;
      PostMessageW(window, WM_CLOSE, 0, 0);
      return true;
    case VK_TAB:
      if (ctrl || alt) return false;
      if (HWND next = GetNextDlgTabItem(window, GetFocus(), shift)) SetFocus(next);
      return true;
    case VK_RETURN:
      return msg.hwnd != g_state.log_box;
    default:
      return false;
  }
}

HWND CreateControl(HWND parent, const ControlRecord& record, int id) {
  const wchar_t* window_class = nullptr;
  DWORD style = WS_CHILD;
  DWORD ex_style = 0;
  if (record.kind == ControlKind::kPushButton) {
    window_class = L"BUTTON";
    style |= BS_PUSHBUTTON | BS_CENTER | BS_VCENTER;
  } else if (record.kind == ControlKind::kEditBox) {
    window_class = L"EDIT";
    // Multi-line, wrapping (no horizontal scrolling), vertical scroll bar.
    style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | ES_LEFT | WS_VSCROLL;
    ex_style |= WS_EX_CLIENTEDGE;
  } else {
    return nullptr;
  }
  if (record.visible) style |= WS_VISIBLE;
  if (record.disabled) style |= WS_DISABLED;
  if (record.tab_stop) style |= WS_TABSTOP;
  HWND control = CreateWindowExW(ex_style, window_class, Wide(record.text).c_str(), style,
                                 record.left, record.top, record.width, record.height, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
  if (control != nullptr) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
  }
  return control;
}

void CreateControls(HWND window) {
  for (int i = 1; i < kPracticeWindowRecordCount; ++i) {
    const ControlRecord& record = kPracticeWindowDescription[i];
    const int id = kFirstControlId + i;
    switch (record.kind) {
      case ControlKind::kTcpServer:
        g_state.server = std::make_unique<LinkServer>(window);
        link_server = g_state.server.get();
        BindEndpoint(*link_server, record);
        link_server->Listen();
        break;
      case ControlKind::kTcpClient:
        g_state.client = std::make_unique<LinkClient>(window);
        link_client = g_state.client.get();
        BindEndpoint(*link_client, record);
        break;
      case ControlKind::kEditBox: {
        HWND box = CreateControl(window, record, id);
        // Lift the default limit to the platform's maximum for a multi-line box.
        SendMessageW(box, EM_SETLIMITTEXT, 0, 0);
        SendMessageW(box, EM_SETWORDBREAKPROC, 0, reinterpret_cast<LPARAM>(&BreakLogRows));
        g_state.log_box = box;
        break;
      }
      default:
        CreateControl(window, record, id);
        break;
    }
  }
}

// Tab order: the log box, then the buttons from top to bottom.
void ArrangeTabOrder(HWND window) {
  HWND previous = HWND_TOP;
  for (const char* name : kPracticeWindowTabOrder) {
    for (int i = 1; i < kPracticeWindowRecordCount; ++i) {
      if (std::string(kPracticeWindowDescription[i].name) != name) continue;
      HWND control = GetDlgItem(window, kFirstControlId + i);
      if (control == nullptr) continue;
      SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      previous = control;
    }
  }
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_COMMAND: {
      const int index = LOWORD(wparam) - kFirstControlId;
      if (HIWORD(wparam) == BN_CLICKED && index > 0 && index < kPracticeWindowRecordCount &&
          kPracticeWindowDescription[index].kind == ControlKind::kPushButton) {
        RaiseEvent(kPracticeWindowDescription[index], ButtonEvent::kClicked);
        return 0;
      }
      break;
    }
    case WM_TIMER:
      if (wparam == kRepaintTimer) {
        ResumeLogDrawing();
        return 0;
      }
      break;
    case kAppendMessage:
      AppendOnWindowThread(reinterpret_cast<const char*>(lparam));
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd, kRepaintTimer);
      // Before the controls go: the will-be-destroyed event.
      RaiseEvent(WindowRecord(), WindowEvent::kWillBeDestroyed);
      return 0;
    case WM_NCDESTROY:
      // The controls are gone; the link endpoints close their sockets.
      link_client = nullptr;
      link_server = nullptr;
      g_state.server.reset();
      g_state.client.reset();
      g_state.log_box = nullptr;
      g_state.window = nullptr;
      app::RemoveLoadedWindow(hwnd);
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

bool RegisterWindowClass(const std::wstring& name) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(GetModuleHandleW(nullptr), name.c_str(), &wc)) return true;
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));      // IDI_APPLICATION
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name.c_str();
  return RegisterClassExW(&wc) != 0;
}

}  // namespace

extern "C" void AppendToLog(const char* text) {
  if (g_state.window != nullptr && GetCurrentThreadId() == g_state.thread) {
    AppendOnWindowThread(text);
    return;
  }
  // Another thread: the window's own thread appends the line before the
  // call returns. Then this thread's send, if it made one, has its line.
  if (g_state.window != nullptr) {
    SendMessageW(g_state.window, kAppendMessage, 0, reinterpret_cast<LPARAM>(text));
  }
  loopback::EndForeignSend();
}

HWND LoadPracticeWindow() {
  const ControlRecord& record = WindowRecord();
  const std::wstring class_name = Wide(kPracticeWindowClass);
  if (!RegisterWindowClass(class_name)) return nullptr;
  // Centred on the screen, each division truncated toward zero.
  const int left = (GetSystemMetrics(SM_CXSCREEN) - record.width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - record.height) / 2;
  // Fixed border: a caption with the system menu and minimise box only.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  HWND window = CreateWindowExW(0, class_name.c_str(), Wide(record.text).c_str(), style, left,
                                top, record.width, record.height, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) return nullptr;
  g_state.window = window;
  g_state.thread = GetCurrentThreadId();
  app::AddLoadedWindow(window, &FilterKey);
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               FALSE);
  CreateControls(window);
  ArrangeTabOrder(window);
  RaiseEvent(record, WindowEvent::kCreated);
  if (!IsWindow(window)) return nullptr;  // closed while loading
  if (record.visible) {
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    if (HWND first = GetNextDlgTabItem(window, nullptr, FALSE)) SetFocus(first);
  }
  return window;
}
