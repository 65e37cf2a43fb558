// The log box in-process: a window of the test's own with an edit control
// made as the program makes its log box, fed through LogBox.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/log_box.h"
#include "tests/support/pixels.h"

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

}  // namespace
