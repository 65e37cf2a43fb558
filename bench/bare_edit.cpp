// The log box's baseline: a visible edit control with the log box's style,
// size, font and text limit, appended to the same way (caret to the end,
// scroll to it, replace the empty selection), timing its own appends. It has
// no row-break procedure of its own: it is the platform's control as it comes.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_windows.h"

namespace {

HWND g_window = nullptr;
HWND g_box = nullptr;
LARGE_INTEGER g_frequency;
LRESULT g_line_micros = -1;

long long Ticks() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

LRESULT Micros(long long ticks) { return static_cast<LRESULT>(ticks * 1000000 / g_frequency.QuadPart); }

void NewBox() {
  if (g_box != nullptr) DestroyWindow(g_box);
  g_box = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                          WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE |
                              ES_WANTRETURN | ES_AUTOVSCROLL | ES_LEFT,
                          8, 8, 200, 176, g_window, reinterpret_cast<HMENU>(100),
                          GetModuleHandleW(nullptr), nullptr);
  if (g_box == nullptr) return;
  SendMessageW(g_box, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               FALSE);
  SendMessageW(g_box, EM_SETLIMITTEXT, 0, 0);
  SetFocus(g_box);
}

void AppendText(const wchar_t* text) {
  const LRESULT length = SendMessageW(g_box, WM_GETTEXTLENGTH, 0, 0);
  SendMessageW(g_box, EM_SETSEL, length, length);
  SendMessageW(g_box, EM_SCROLLCARET, 0, 0);
  SendMessageW(g_box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
}

bool ReadText(const wchar_t* path, std::wstring* text) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(file, &size) != 0;
  if (ok) {
    text->assign(static_cast<size_t>(size.QuadPart) / sizeof(wchar_t), L'\0');
    DWORD got = 0;
    ok = ReadFile(file, &(*text)[0], static_cast<DWORD>(text->size() * sizeof(wchar_t)), &got,
                  nullptr) != 0 &&
         got == text->size() * sizeof(wchar_t);
  }
  CloseHandle(file);
  return ok;
}

// The text's pieces: its lines, or pieces of about `chunk` characters that
// never cut a line end in half.
std::vector<std::wstring> Pieces(const std::wstring& text, size_t chunk) {
  std::vector<std::wstring> pieces;
  for (size_t at = 0; at < text.size();) {
    size_t size;
    if (chunk == 0) {
      const size_t end = text.find(L"\r\n", at);
      size = end == std::wstring::npos ? text.size() - at : end + 2 - at;
    } else {
      size = std::min(chunk, text.size() - at);
      if (at + size < text.size() && text[at + size - 1] == L'\r') ++size;
    }
    pieces.push_back(text.substr(at, size));
    at += size;
  }
  return pieces;
}

// Feeds a text file into a fresh box and times it; then times single
// insertions of the text's longest line at the box's final size (the median
// of five). Answers the feed's microseconds, or -1.
LRESULT Feed(const kvbench::FeedRequest& request) {
  g_line_micros = -1;
  std::wstring text;
  if (!ReadText(request.path, &text) || text.empty()) return -1;
  const std::vector<std::wstring> pieces = Pieces(text, request.chunk);
  std::wstring longest;
  for (const std::wstring& line : Pieces(text, 0)) {
    if (line.size() > longest.size()) longest = line;
  }
  text.clear();
  text.shrink_to_fit();
  NewBox();
  if (g_box == nullptr) return -1;
  const long long start = Ticks();
  for (const std::wstring& piece : pieces) AppendText(piece.c_str());
  const long long fed = Ticks() - start;
  std::vector<long long> lines;
  for (int i = 0; i < 5; ++i) {
    const long long at = Ticks();
    AppendText(longest.c_str());
    lines.push_back(Ticks() - at);
  }
  std::sort(lines.begin(), lines.end());
  g_line_micros = Micros(lines[2]);
  return Micros(fed);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case kvbench::kLineMicrosMessage:
      return g_line_micros;
    case WM_COPYDATA: {
      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
      if (data->dwData != kvbench::kFeedRequestTag ||
          data->cbData != sizeof(kvbench::FeedRequest)) {
        return -1;
      }
      kvbench::FeedRequest request;
      std::memcpy(&request, data->lpData, sizeof request);
      request.path[MAX_PATH - 1] = L'\0';
      return Feed(request);
    }
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
  g_window = CreateWindowExW(
      0, kvbench::kBareEditClass, kvbench::kBareEditCaption,
      WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, left, top, 317,
      221, nullptr, nullptr, instance, nullptr);
  if (g_window == nullptr) return 1;
  SendMessageW(g_window, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               FALSE);
  NewBox();
  if (g_box == nullptr) return 1;
  ShowWindow(g_window, SW_SHOW);
  UpdateWindow(g_window);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
