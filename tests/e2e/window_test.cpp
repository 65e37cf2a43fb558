// The program from outside: its window, its controls, how it ends.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/program.h"
#include "tests/support/pixels.h"
#include "tests/support/pump.h"

namespace {

using kvtest::Gbk;
using kvtest::Program;

RECT ClientRect(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

TEST(WindowTest, WindowHasItsClassCaptionPlaceAndStyle) {
  Program program;
  ASSERT_TRUE(program.Start());
  HWND window = program.window();
  RECT outer;
  GetWindowRect(window, &outer);
  const int screen_w = GetSystemMetrics(SM_CXSCREEN);
  const int screen_h = GetSystemMetrics(SM_CYSCREEN);
  EXPECT_EQ(outer.left, (screen_w - 317) / 2);
  EXPECT_EQ(outer.top, (screen_h - 221) / 2);
  if (screen_w == 1024 && screen_h == 768) {
    EXPECT_EQ(outer.left, 353);
    EXPECT_EQ(outer.top, 273);
  }
  EXPECT_EQ(outer.right - outer.left, 317);
  EXPECT_EQ(outer.bottom - outer.top, 221);

  const LONG style = GetWindowLongW(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME) << "the border is fixed";
  EXPECT_FALSE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  // The button-face background, read off the screen between the log box and the buttons.
  POINT gap = {216, 100};
  ClientToScreen(window, &gap);
  auto pixel = [&] {
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, gap.x, gap.y);
    ReleaseDC(nullptr, screen);
    return colour;
  };
  // The first paint may still be on its way.
  kvtest::PumpUntil([&] { return pixel() == GetSysColor(COLOR_BTNFACE); }, 3000);
  EXPECT_EQ(pixel(), GetSysColor(COLOR_BTNFACE));

  ShowWindow(window, SW_MINIMIZE);
  EXPECT_TRUE(kvtest::PumpUntil([&] { return IsIconic(window) != FALSE; }, 3000));
  ShowWindow(window, SW_RESTORE);
  EXPECT_TRUE(kvtest::PumpUntil([&] { return IsIconic(window) == FALSE; }, 3000));
}

TEST(WindowTest, ControlsHaveTheirPlacesTextsAndSettings) {
  Program program;
  ASSERT_TRUE(program.Start());
  const struct {
    const wchar_t* caption;
    RECT place;
  } buttons[] = {{L"普攻", {224, 8, 304, 40}},
                 {L"魔法", {224, 56, 304, 88}},
                 {L"群功", {224, 104, 304, 136}},
                 {L"死亡", {224, 152, 304, 184}}};
  for (const auto& b : buttons) {
    HWND button = program.Button(b.caption);
    ASSERT_NE(button, nullptr) << "no button";
    const RECT r = ClientRect(button);
    EXPECT_EQ(r.left, b.place.left);
    EXPECT_EQ(r.top, b.place.top);
    EXPECT_EQ(r.right, b.place.right);
    EXPECT_EQ(r.bottom, b.place.bottom);
    const LONG style = GetWindowLongW(button, GWL_STYLE);
    EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON) << "not a default button";
    EXPECT_EQ(style & (BS_CENTER | BS_VCENTER), BS_CENTER | BS_VCENTER);
    EXPECT_TRUE(style & WS_TABSTOP);
    EXPECT_TRUE(IsWindowVisible(button));
    EXPECT_TRUE(IsWindowEnabled(button));
  }

  HWND log = program.LogBox();
  ASSERT_NE(log, nullptr);
  const RECT r = ClientRect(log);
  EXPECT_EQ(r.left, 8);
  EXPECT_EQ(r.top, 8);
  EXPECT_EQ(r.right, 208);
  EXPECT_EQ(r.bottom, 184);
  const LONG style = GetWindowLongW(log, GWL_STYLE);
  EXPECT_TRUE(style & ES_MULTILINE);
  EXPECT_TRUE(style & WS_VSCROLL);
  EXPECT_TRUE(style & WS_TABSTOP);
  EXPECT_FALSE(style & (ES_AUTOHSCROLL | WS_HSCROLL)) << "lines wrap";
  EXPECT_FALSE(style & (ES_READONLY | ES_PASSWORD | ES_UPPERCASE | ES_LOWERCASE | ES_NOHIDESEL));
  EXPECT_EQ(style & (ES_CENTER | ES_RIGHT), 0);
  EXPECT_TRUE(GetWindowLongW(log, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_GT(static_cast<DWORD>(SendMessageW(log, EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEu - 1)
      << "the default limit is lifted";

  // Besides the five visible controls only the two hidden link windows.
  int visible = 0, hidden = 0;
  for (HWND child : program.Children()) (IsWindowVisible(child) ? visible : hidden)++;
  EXPECT_EQ(visible, 5);
  EXPECT_EQ(hidden, 2);
}

TEST(WindowTest, LogIsEmptyAfterStartAndTheFirstPressSucceeds) {
  Program program;
  ASSERT_TRUE(program.Start());
  Sleep(300);  // the server's accept of the client has been handled by now
  EXPECT_EQ(program.LogText(), L"");
  program.Press(L"普攻");
  ASSERT_TRUE(program.WaitForLines(2));
  EXPECT_EQ(program.LogLines()[0], "\xC6\xD5\xB9\xA5 \r\n");
}

TEST(WindowTest, ClosingEndsTheProcessWithStatusZero) {
  const struct {
    const char* how;
    void (*close)(const Program&);
  } ways[] = {
      {"close box", [](const Program& p) { PostMessageW(p.window(), WM_CLOSE, 0, 0); }},
      {"system menu", [](const Program& p) { PostMessageW(p.window(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"Esc in the log box", [](const Program& p) { p.PostKey(p.LogBox(), VK_ESCAPE); }},
      {"Esc on a button", [](const Program& p) { p.PostKey(p.Button(L"魔法"), VK_ESCAPE); }},
  };
  for (const auto& way : ways) {
    Program program;
    ASSERT_TRUE(program.Start()) << way.how;
    way.close(program);
    EXPECT_EQ(program.WaitForExit(), 0u) << way.how;
  }
}

TEST(WindowTest, TabMovesTheFocusAndReturnPressesNothing) {
  Program program;
  ASSERT_TRUE(program.Start());
  HWND log = program.LogBox();
  SetForegroundWindow(program.window());
  // Tab order: the log box, then the buttons top to bottom, then round again.
  const wchar_t* order[] = {L"普攻", L"魔法", L"群功", L"死亡"};
  PostMessageW(program.window(), WM_NULL, 0, 0);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return program.Focus() == log; }, 3000))
      << "the log box has the focus at start";
  for (const wchar_t* caption : order) {
    program.PostKey(program.Focus(), VK_TAB);
    EXPECT_TRUE(kvtest::PumpUntil([&] { return program.Focus() == program.Button(caption); }, 3000));
  }
  program.PostKey(program.Focus(), VK_RETURN);
  Sleep(200);
  EXPECT_EQ(program.LogText(), L"") << "Return on a button presses nothing";
  EXPECT_EQ(program.Focus(), program.Button(L"死亡")) << "Return does not move the focus";
  program.PostKey(program.Focus(), VK_TAB);
  EXPECT_TRUE(kvtest::PumpUntil([&] { return program.Focus() == log; }, 3000));
}

TEST(WindowTest, ReturnTypedInTheLogBoxStartsANewLine) {
  Program program;
  ASSERT_TRUE(program.Start());
  HWND log = program.LogBox();
  for (wchar_t c : std::wstring(L"ab")) PostMessageW(log, WM_CHAR, c, 1);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return program.LogText() == L"ab"; }, 3000));
  // A key press, which the program's loop translates into the character.
  program.PostKey(log, VK_RETURN);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return program.LogText() == L"ab\r\n"; }, 3000))
      << Gbk(program.LogText());
  PostMessageW(log, WM_CHAR, L'c', 1);
  EXPECT_TRUE(kvtest::PumpUntil([&] { return program.LogText() == L"ab\r\nc"; }, 3000));
}

// A peer that sends a short burst every few milliseconds until stopped.
struct Stream {
  SOCKET socket;
  std::atomic<bool> stop{false};
  static DWORD WINAPI Run(void* arg) {
    auto* s = static_cast<Stream*>(arg);
    while (!s->stop && send(s->socket, "\x5A\xA5", 2, 0) == 2) Sleep(3);
    return 0;
  }
};

TEST(WindowTest, TheLogBoxStaysVisibleAndInTheTabOrderWhileLinesPourIn) {
  Program program;
  ASSERT_TRUE(program.Start());
  HWND log = program.LogBox();
  SetForegroundWindow(program.window());
  PostMessageW(program.window(), WM_NULL, 0, 0);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return program.Focus() == log; }, 3000));
  kvtest::RawSocket peer;
  ASSERT_TRUE(peer.Connect(kvtest::kPort));
  Stream stream;
  stream.socket = peer.handle();
  HANDLE writer = CreateThread(nullptr, 0, &Stream::Run, &stream, 0, nullptr);
  ASSERT_NE(writer, nullptr);
  ASSERT_TRUE(program.WaitForLines(20));
  // Round the tab order and back into the log box, as the lines keep coming.
  for (int round = 0; round < 3; ++round) {
    for (int tab = 0; tab < 5; ++tab) {
      EXPECT_TRUE(IsWindowVisible(log)) << "round " << round;
      program.PostKey(log, VK_TAB);  // the window moves the focus, wherever it is
      Sleep(20);
    }
    EXPECT_TRUE(kvtest::PumpUntil([&] { return program.Focus() == log; }, 3000))
        << "Tab went past the log box, round " << round;
  }
  stream.stop = true;
  WaitForSingleObject(writer, 5000);
  CloseHandle(writer);
}

TEST(WindowTest, AppendGoesAfterTypedTextAndDropsTheSelection) {
  Program program;
  ASSERT_TRUE(program.Start());
  HWND log = program.LogBox();
  for (wchar_t c : std::wstring(L"abc")) PostMessageW(log, WM_CHAR, c, 1);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return program.LogText() == L"abc"; }, 3000));
  SendMessageW(log, EM_SETSEL, 0, 2);
  program.Press(L"魔法");
  ASSERT_TRUE(program.WaitForLines(2));
  const std::vector<std::string> lines = program.LogLines();
  EXPECT_EQ(lines[0], "abc\xC4\xA7\xB7\xA8 \xC4\xA7\xB7\xA8\r\n") << "typed text stays, no break added";
  DWORD start = 0, end = 0;
  SendMessageW(log, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, end) << "the selection was dropped";
}

TEST(WindowTest, SecondCopyComesUpSilentlyAndReachesTheFirst) {
  Program first;
  ASSERT_TRUE(first.Start());
  Program second;
  ASSERT_TRUE(second.Start());
  EXPECT_EQ(kvtest::FindProgramWindows().size(), 2u);
  second.Press(L"普攻");
  ASSERT_TRUE(second.WaitForLines(1));
  ASSERT_TRUE(first.WaitForLines(1));
  Sleep(200);
  EXPECT_EQ(second.LogLines(), (std::vector<std::string>{"\xC6\xD5\xB9\xA5 \r\n"}));
  EXPECT_EQ(first.LogLines(), (std::vector<std::string>{"C6D5B9A5\r\n"}));
  PostMessageW(second.window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(second.WaitForExit(), 0u);
  PostMessageW(first.window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(first.WaitForExit(), 0u);
}

// A control as it is on the screen, pixel by pixel.
std::vector<uint32_t> Pixels(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  // Another process's window is read off the screen, as a screenshot would.
  HDC screen = GetDC(nullptr);
  std::vector<uint32_t> pixels =
      kvtest::DrawnPixels(screen, r.right - r.left, r.bottom - r.top, [&](HDC memory) {
        BitBlt(memory, 0, 0, r.right - r.left, r.bottom - r.top, screen, r.left, r.top, SRCCOPY);
      });
  ReleaseDC(nullptr, screen);
  return pixels;
}

// Where no font holds a character it is drawn as a box, and every caption of
// two boxes looks the same: four captions drawn as glyphs look different.
// Run under several locales (see CMakeLists.txt): KESTRAVO_EXPECT_ACP names
// the code page that the run's locale must give, so the locale really applies.
TEST(WindowTest, CaptionsDrawAsGlyphsNotBoxes) {
  if (const char* acp = std::getenv("KESTRAVO_EXPECT_ACP")) {
    ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(acp))) << "the locale did not apply";
  }
  Program program;
  ASSERT_TRUE(program.Start());
  SetForegroundWindow(program.window());
  Sleep(300);  // drawn
  std::set<std::vector<uint32_t>> looks;
  for (const wchar_t* caption : {L"普攻", L"魔法", L"群功", L"死亡"}) {
    const std::vector<uint32_t> pixels = Pixels(program.Button(caption));
    ASSERT_FALSE(pixels.empty());
    EXPECT_GT(std::set<uint32_t>(pixels.begin(), pixels.end()).size(), 2u) << "something is drawn";
    looks.insert(pixels);
  }
  EXPECT_EQ(looks.size(), 4u);
}

}  // namespace
