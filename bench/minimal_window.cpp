// The start-up baseline: what no design of the program can avoid. It loads
// the system libraries the program loads, opens a listening socket whose
// readiness comes through the window's message loop, and shows one window of
// the program's size and border, linked the same way as the program.
#include <winsock2.h>
#include <oleauto.h>
#include <windows.h>

#include "bench/bench_windows.h"

namespace {

constexpr UINT kSocketMessage = WM_APP + 1;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

// A listener on a port of the system's choosing: the program's own port may
// be held by another copy, and the cost is the same.
SOCKET Listen(HWND window) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return INVALID_SOCKET;
  const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET) return INVALID_SOCKET;
  sockaddr_in any = {};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(listener, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 ||
      listen(listener, SOMAXCONN) != 0 ||
      WSAAsyncSelect(listener, window, kSocketMessage, FD_ACCEPT) != 0) {
    closesocket(listener);
    return INVALID_SOCKET;
  }
  return listener;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // The program's script module holds variants; one string is enough to
  // bring in the same automation library.
  SysFreeString(SysAllocStringLen(L"", 0));
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kvbench::kMinimalClass;
  if (RegisterClassExW(&wc) == 0) return 1;
  HWND window = CreateWindowExW(
      0, kvbench::kMinimalClass, kvbench::kMinimalCaption,
      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, CW_USEDEFAULT,
      CW_USEDEFAULT, 317, 221, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  const SOCKET listener = Listen(window);
  if (listener == INVALID_SOCKET) return 1;
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               FALSE);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  closesocket(listener);
  WSACleanup();
  return 0;
}
