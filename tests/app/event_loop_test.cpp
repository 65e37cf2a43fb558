// The main event loop against stand-ins for GetMessageW.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/app_layer.h"

namespace {

// What the stand-in hands out: the result of each take, and the message
// it writes first (a failed take may leave anything in it).
struct Take {
  BOOL result;
  UINT message;
  WPARAM wparam;
};
const Take* g_takes = nullptr;
int g_taken = 0;

BOOL WINAPI ScriptedTake(LPMSG msg, HWND, UINT, UINT) {
  const Take& take = g_takes[g_taken++];
  msg->hwnd = nullptr;
  msg->message = take.message;
  msg->wParam = take.wparam;
  msg->lParam = 0;
  return take.result;
}

TEST(EventLoopTest, EndsWithTheQuitCodeOrAFailure) {
  const struct {
    const char* what;
    std::vector<Take> takes;
    int status;
  } cases[] = {
      {"a quit request", {{0, WM_QUIT, 7}}, 7},
      {"a quit after other messages", {{1, WM_NULL, 0}, {1, WM_APP + 9, 3}, {0, WM_QUIT, 0}}, 0},
      {"a failed take", {{-1, 0, 0}}, app::kLoopFailed},
      // What a failed take left in the message is no quit code.
      {"a failed take that left a quit behind", {{-1, WM_QUIT, 5}}, app::kLoopFailed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    g_takes = c.takes.data();
    g_taken = 0;
    EXPECT_EQ(app::RunEventLoop(&ScriptedTake), c.status);
    EXPECT_EQ(g_taken, static_cast<int>(c.takes.size()));
  }
}

}  // namespace
