#include "app/practice_window.h"

#include <atomic>
#include <string>

#include "app/app_layer.h"
#include "link/foreign_sends.h"
#include "script/text.h"

LinkClient* link_client = nullptr;

namespace {

// Child identifiers start above IDOK and IDCANCEL so that no control is
// taken for a dialog's default or cancel button.
constexpr int kFirstControlId = 100;
// AppendToLog called on another thread (a learner's injected one) is carried
// over to the window's own thread.
constexpr UINT kAppendMessage = WM_APP + 1;

// The loaded window, for AppendToLog, which any thread may call; the state
// itself hangs on the window.
std::atomic<HWND> g_loaded{nullptr};

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

PracticeWindow* StateOf(HWND hwnd) {
  return reinterpret_cast<PracticeWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

bool RegisterWindowClass(const std::wstring& name, WNDPROC proc) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  if (GetClassInfoExW(GetModuleHandleW(nullptr), name.c_str(), &wc)) return true;
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));      // IDI_APPLICATION
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = name.c_str();
  return RegisterClassExW(&wc) != 0;
}

}  // namespace

PracticeWindow::PracticeWindow(HWND hwnd) : hwnd_(hwnd) {}

PracticeWindow* PracticeWindow::Loaded() {
  HWND hwnd = g_loaded.load();
  return hwnd != nullptr ? StateOf(hwnd) : nullptr;
}

void PracticeWindow::CreateControls() {
  for (int i = 1; i < kPracticeWindowRecordCount; ++i) {
    const ControlRecord& record = kPracticeWindowDescription[i];
    const int id = kFirstControlId + i;
    switch (record.kind) {
      case ControlKind::kTcpServer:
        server_ = std::make_unique<LinkServer>(hwnd_);
        BindEndpoint(*server_, record);
        server_->Listen();
        break;
      case ControlKind::kTcpClient:
        client_ = std::make_unique<LinkClient>(hwnd_);
        link_client = client_.get();
        BindEndpoint(*client_, record);
        break;
      case ControlKind::kEditBox:
        log_.Attach(CreateControl(hwnd_, record, id));
        break;
      default:
        CreateControl(hwnd_, record, id);
        break;
    }
  }
}

// Tab order: the log box, then the buttons from top to bottom.
void PracticeWindow::ArrangeTabOrder() {
  HWND previous = HWND_TOP;
  for (const char* name : kPracticeWindowTabOrder) {
    for (int i = 1; i < kPracticeWindowRecordCount; ++i) {
      if (std::string(kPracticeWindowDescription[i].name) != name) continue;
      HWND control = GetDlgItem(hwnd_, kFirstControlId + i);
      if (control == nullptr) continue;
      SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      previous = control;
    }
  }
}

// Esc closes the window from any control; Tab and Shift+Tab move the focus;
// Return does nothing outside the log box. Everything else goes through.
bool PracticeWindow::FilterKey(HWND window, const MSG& msg) {
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
    case VK_RETURN: {
      const PracticeWindow* self = StateOf(window);
      return self == nullptr || msg.hwnd != self->log_.hwnd();
    }
    default:
      return false;
  }
}

LRESULT CALLBACK PracticeWindow::Proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new PracticeWindow(hwnd)));
    g_loaded = hwnd;
  }
  PracticeWindow* self = StateOf(hwnd);
  if (self == nullptr) return DefWindowProcW(hwnd, msg, wparam, lparam);
  return self->Handle(msg, wparam, lparam);
}

LRESULT PracticeWindow::Handle(UINT msg, WPARAM wparam, LPARAM lparam) {
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
    case kAppendMessage:
      log_.Append(reinterpret_cast<const char*>(lparam));
      return 0;
    case WM_DESTROY:
      // Before the controls go: the will-be-destroyed event.
      RaiseEvent(WindowRecord(), WindowEvent::kWillBeDestroyed);
      return 0;
    case WM_NCDESTROY: {
      // The controls are gone; the link endpoints close their sockets, and
      // the window's state goes with the window.
      HWND hwnd = hwnd_;
      link_client = nullptr;
      server_.reset();
      client_.reset();
      g_loaded = nullptr;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      delete this;
      app::RemoveLoadedWindow(hwnd);
      return DefWindowProcW(hwnd, msg, wparam, lparam);
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wparam, lparam);
}

HWND PracticeWindow::Load() {
  const ControlRecord& record = WindowRecord();
  const std::wstring class_name = Wide(kPracticeWindowClass);
  if (!RegisterWindowClass(class_name, &PracticeWindow::Proc)) return nullptr;
  // Centred on the screen, each division truncated toward zero.
  const int left = (GetSystemMetrics(SM_CXSCREEN) - record.width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - record.height) / 2;
  // Fixed border: a caption with the system menu and minimise box only.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  HWND window = CreateWindowExW(0, class_name.c_str(), Wide(record.text).c_str(), style, left,
                                top, record.width, record.height, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) return nullptr;
  PracticeWindow* self = StateOf(window);
  app::AddLoadedWindow(window, &PracticeWindow::FilterKey);
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               FALSE);
  self->CreateControls();
  self->ArrangeTabOrder();
  RaiseEvent(record, WindowEvent::kCreated);
  if (!IsWindow(window)) return nullptr;  // closed while loading
  if (record.visible) {
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    if (HWND first = GetNextDlgTabItem(window, nullptr, FALSE)) SetFocus(first);
  }
  return window;
}

HWND LoadPracticeWindow() { return PracticeWindow::Load(); }

extern "C" void AppendToLog(const char* text) {
  HWND window = g_loaded.load();
  if (window != nullptr && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) {
    if (PracticeWindow* self = StateOf(window)) self->log().Append(text);
    return;
  }
  // Another thread: the window's own thread appends the line before the
  // call returns. Then this thread's send, if it made one, has its line.
  if (window != nullptr) SendMessageW(window, kAppendMessage, 0, reinterpret_cast<LPARAM>(text));
  loopback::EndForeignSend();
}
