// The per-line baseline: a visible edit control with the log box's style,
// size, font and text limit, appended to the same way (caret to the end,
// scroll to it, replace the empty selection), timing its own appends.
#include <windows.h>

#include <cwchar>

#include "bench/bench_windows.h"

namespace {

HWND g_box = nullptr;
LARGE_INTEGER g_frequency;
long long g_append_ticks = 0;
LRESULT g_append_count = 0;

void Append(unsigned value) {
  wchar_t line[16];
  std::swprintf(line, 16, L"%08X\r\n", value);
  LARGE_INTEGER start, end;
  QueryPerformanceCounter(&start);
  const LRESULT length = SendMessageW(g_box, WM_GETTEXTLENGTH, 0, 0);
  SendMessageW(g_box, EM_SETSEL, length, length);
  SendMessageW(g_box, EM_SCROLLCARET, 0, 0);
  SendMessageW(g_box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line));
  QueryPerformanceCounter(&end);
  g_append_ticks += end.QuadPart - start.QuadPart;
  ++g_append_count;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case kvbench::kAppendMessage:
      Append(static_cast<unsigned>(wparam));
      return 0;
    case kvbench::kAppendMicrosMessage:
      return static_cast<LRESULT>(g_append_ticks * 1000000 / g_frequency.QuadPart);
    case kvbench::kAppendCountMessage:
      return g_append_count;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wparam, lparam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  QueryPerformanceFrequency(&g_frequency);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kvbench::kBareEditClass;
  if (RegisterClassExW(&wc) == 0) return 1;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - 317) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - 221) / 2;
  HWND window = CreateWindowExW(
      0, kvbench::kBareEditClass, kvbench::kBareEditCaption,
      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, left, top, 317,
      221, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  const HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  g_box = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE |
                              ES_WANTRETURN | ES_AUTOVSCROLL | ES_LEFT,
                          8, 8, 200, 176, window, reinterpret_cast<HMENU>(100), instance, nullptr);
  if (g_box == nullptr) return 1;
  SendMessageW(g_box, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SendMessageW(g_box, EM_SETLIMITTEXT, 0, 0);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  SetFocus(g_box);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
