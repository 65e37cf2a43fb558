#include "link/foreign_sends.h"

#include <algorithm>
#include <atomic>
#include <vector>

namespace loopback {
namespace {

// A slim lock of the platform's own: the senders are threads that a learner
// started, which the C++ runtime never set up.
SRWLOCK g_lock = SRWLOCK_INIT;

class Hold {
 public:
  Hold() { AcquireSRWLockExclusive(&g_lock); }
  ~Hold() { ReleaseSRWLockExclusive(&g_lock); }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
};

// One entry per send still owed a line, naming the thread that sent it.
std::vector<DWORD> g_pending;
std::atomic<DWORD> g_patience_ms{500};

bool AnyPending() {
  Hold hold;
  return !g_pending.empty();
}

}  // namespace

void BeginForeignSend() {
  Hold hold;
  g_pending.push_back(GetCurrentThreadId());
}

void EndForeignSend() {
  Hold hold;
  auto mine = std::find(g_pending.begin(), g_pending.end(), GetCurrentThreadId());
  if (mine != g_pending.end()) g_pending.erase(mine);
}

void AwaitForeignSends() {
  if (!AnyPending()) return;
  const DWORD start = GetTickCount();
  while (AnyPending()) {
    if (GetTickCount() - start >= g_patience_ms.load()) {
      Hold hold;
      g_pending.clear();
      return;
    }
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // delivers sent messages
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_SENDMESSAGE);
  }
}

DWORD SetForeignSendPatience(DWORD ms) { return g_patience_ms.exchange(ms); }

}  // namespace loopback
