// The log box in-process: a window of the test's own with an edit control
// made as the program makes its log box, fed through LogBox.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/log_box.h"
#include "tests/support/pixels.h"
#include "tests/support/pump.h"

namespace {

class LogBoxTest : public ::testing::Test {
 protected:
  // One owner window for the cases, shown without activating it: taking an
  // active top-level window down costs seconds on a display without a window
  // manager.
  static void SetUpTestSuite() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KestravoTestLogBoxOwner";
    RegisterClassW(&wc);  // fails harmlessly when already registered
    owner_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 317, 221,
                             nullptr, nullptr, wc.hInstance, nullptr);
    ShowWindow(owner_, SW_SHOWNOACTIVATE);
  }
  static void TearDownTestSuite() { DestroyWindow(owner_); }

  void SetUp() override {
    ASSERT_NE(owner_, nullptr);
    // As the program makes its log box.
    box_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                           WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN |
                               ES_AUTOVSCROLL | ES_LEFT | WS_VSCROLL,
                           8, 8, 200, 176, owner_, reinterpret_cast<HMENU>(107),
                           GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(box_, nullptr);
    SendMessageW(box_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
    log_.Attach(box_);
  }

  void TearDown() override { DestroyWindow(box_); }

  std::wstring Text() const {
    const int length = GetWindowTextLengthW(box_);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(box_, &text[0], length + 1)));
    return text;
  }

  // The box's client area as it is on the box's surface, and as the box
  // draws it now into a bitmap of its own.
  std::vector<uint32_t> Shown() const { return Capture(false); }
  std::vector<uint32_t> Drawn() const { return Capture(true); }

  std::vector<uint32_t> Capture(bool draw_afresh) const {
    RECT client;
    GetClientRect(box_, &client);
    HDC surface = GetDC(box_);
    std::vector<uint32_t> pixels =
        kvtest::DrawnPixels(surface, client.right, client.bottom, [&](HDC memory) {
          if (draw_afresh) {
            SendMessageW(box_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory),
                         PRF_CLIENT | PRF_ERASEBKGND);
          } else {
            BitBlt(memory, 0, 0, client.right, client.bottom, surface, 0, 0, SRCCOPY);
          }
        });
    ReleaseDC(box_, surface);
    return pixels;
  }

  // Dispatches this thread's messages for a while: the log box's own timer
  // resumes its drawing meanwhile.
  static void Pump(int ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(ms)) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
  }

  static HWND owner_;
  HWND box_ = nullptr;
  LogBox log_;
};

HWND LogBoxTest::owner_ = nullptr;

TEST_F(LogBoxTest, StaysVisibleAndReachableWhileLinesArrive) {
  for (int i = 0; i < 20; ++i) {
    log_.Append("C6D5B9A5\r\n");
    SCOPED_TRACE(i);
    EXPECT_TRUE(GetWindowLongW(box_, GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(IsWindowVisible(box_));
    // Tab reaches it, and so does a click on it.
    EXPECT_EQ(GetNextDlgTabItem(owner_, nullptr, FALSE), box_);
    const POINT middle = {108, 96};
    EXPECT_EQ(ChildWindowFromPointEx(owner_, middle, CWP_SKIPINVISIBLE), box_);
  }
}

TEST_F(LogBoxTest, TheNewestLineIsInViewOnceTheBoxDrawsAgain) {
  std::wstring expected;
  for (int i = 0; i < 100; ++i) {
    const std::string line = "line " + std::to_string(i) + "\r\n";
    log_.Append(line.c_str());
    expected += std::wstring(line.begin(), line.end());
  }
  Pump(200);
  ASSERT_EQ(Text(), expected);
  RECT client;
  GetClientRect(box_, &client);
  // The start of the last line, "line 99".
  const LRESULT at = SendMessageW(box_, EM_POSFROMCHAR, expected.size() - 9, 0);
  const int y = static_cast<short>(HIWORD(at));
  EXPECT_GE(y, client.top);
  EXPECT_LT(y, client.bottom);
  // And the box shows it: what is on its surface is what it draws now.
  EXPECT_FALSE(GetUpdateRect(box_, nullptr, FALSE));
  EXPECT_TRUE(Shown() == Drawn()) << "the box shows what it drew before";
}

TEST_F(LogBoxTest, ALineLongerThanASliceComesOutWhole) {
  // The slice size depends on what the box holds; fill some first.
  log_.Append("0123456789\r\n");
  const size_t held = 12;
  const std::vector<std::wstring> probe = LogBox::Slices(std::wstring(5000, L'A'), held);
  ASSERT_GT(probe.size(), 1u);
  const size_t slice = probe[0].size();
  const struct {
    const char* what;
    size_t cr_at;  // where the line's CR falls
  } cases[] = {{"CR at the end of the first slice", slice - 1},
               {"CR at the end of the second slice", 2 * slice - 1},
               {"CR right after a slice", slice},
               {"LF at the end of the first slice", slice - 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring line = std::wstring(c.cr_at, L'B') + L"\r\n";
    const std::vector<std::wstring> slices = LogBox::Slices(line, held);
    std::wstring joined;
    for (size_t i = 0; i < slices.size(); ++i) {
      joined += slices[i];
      if (i + 1 < slices.size()) {
        EXPECT_NE(slices[i].back(), L'\r') << "CR LF split after slice " << i;
      }
    }
    EXPECT_EQ(joined, line);
  }
  // Appended for real, the box holds each line as it was given.
  SetWindowTextW(box_, L"0123456789\r\n");
  std::wstring expected = L"0123456789\r\n";
  const std::string line = std::string(slice - 1, 'C') + "\r\n";
  log_.Append(line.c_str());
  log_.Append("DD\r\n");
  expected += std::wstring(line.begin(), line.end()) + L"DD\r\n";
  EXPECT_EQ(Text(), expected);
  EXPECT_EQ(SendMessageW(box_, EM_GETLINECOUNT, 0, 0),
            SendMessageW(box_, EM_LINEFROMCHAR, expected.size(), 0) + 1);
}

// Pieces keep a long line's rows cheap to wrap; lines shorter than a slice
// go in together, however many there are.
TEST(LogBoxSlicesTest, OnlyALongLineIsCut) {
  const size_t held = 0;
  const size_t slice = LogBox::Slices(std::wstring(100000, L'A'), held)[0].size();
  const std::wstring short_line = std::wstring(slice / 4, L'5') + L"\r\n";
  std::wstring many_short;
  for (int i = 0; i < 40; ++i) many_short += short_line;
  const struct {
    const char* what;
    std::wstring text;
    size_t pieces;
  } cases[] = {
      {"many short lines", many_short, 1},
      {"a line of exactly a slice", std::wstring(slice, L'7') + L"\r\n", 1},
      {"a long line between short ones",
       short_line + std::wstring(2 * slice + 10, L'9') + L"\r\n" + short_line, 3},
      {"no line end", std::wstring(slice + 1, L'1'), 2},
      {"nothing", L"", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<std::wstring> pieces = LogBox::Slices(c.text, held);
    EXPECT_EQ(pieces.size(), c.pieces);
    std::wstring joined;
    for (const std::wstring& piece : pieces) {
      EXPECT_FALSE(piece.empty());
      // No piece holds more than a slice of one line, line end aside.
      size_t run = 0;
      for (wchar_t ch : piece) {
        if (ch == L'\n') run = 0;
        if (ch != L'\n' && ch != L'\r') ++run;
        EXPECT_LE(run, slice);
      }
      // A line end is never cut off its line.
      EXPECT_NE(piece.front(), L'\n');
      EXPECT_NE(piece.front(), L'\r');
      joined += piece;
    }
    EXPECT_EQ(joined, c.text);
  }
}

// While other work waits in the queue, appended lines may be held to go in
// together: they still go in whole and in order once the queue is served,
// and the caller is held back rather than more text waiting than the limit.
TEST_F(LogBoxTest, LinesHeldWhileWorkWaitsGoInWholeAndInOrder) {
  kvtest::PostProbe probe;
  probe.Post();
  log_.Append("C6D5B9A5\r\n");
  const std::string press_line = "\xC6\xD5\xB9\xA5 \r\n";  // in GBK
  log_.Append(press_line.c_str());
  log_.Append("B17F3905\r\n");
  ASSERT_TRUE(kvtest::PumpUntil([&] { return probe.seen() && !Text().empty(); }));
  Pump(100);
  EXPECT_EQ(Text(), L"C6D5B9A5\r\n\x666E\x653B \r\nB17F3905\r\n");

  // Past the limit the text is in the box when Append returns.
  probe.Post();
  const std::string line = std::string(4096, 'E') + "\r\n";
  const size_t before = Text().size();
  size_t appended = 0;
  while (appended < LogBox::HoldLimit(before)) {
    log_.Append(line.c_str());
    appended += line.size();
  }
  EXPECT_EQ(Text().size(), before + appended);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return probe.seen(); }));
}

}  // namespace
