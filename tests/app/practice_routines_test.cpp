// The practice routines called the way a learner's injected thread calls
// them: before the window exists (or after it is gone), so with no client
// and no log box. They fail their send and log nowhere; nothing crashes.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/practice_actions.h"
#include "app/practice_window.h"

namespace {

struct NamedRoutine {
  const char* name;
  void (*routine)();
};

const NamedRoutine kRoutines[] = {{"NormalAttack", &NormalAttack}, {"OnButton2Click", &OnButton2Click},
                 {"OnButton3Click", &OnButton3Click}, {"Death", &Death},
                 {"Magic", &Magic}, {"GroupAttack", &GroupAttack},
                 {"DeathRoutine", &DeathRoutine}};

DWORD WINAPI RunRoutine(void* named) {
  static_cast<const NamedRoutine*>(named)->routine();
  return 0;
}

TEST(PracticeRoutinesTest, WithoutAWindowTheyReturnQuietly) {
  ASSERT_EQ(link_client, nullptr);
  ASSERT_EQ(PracticeWindow::Loaded(), nullptr);
  for (const auto& r : kRoutines) {
    SCOPED_TRACE(r.name);
    r.routine();
    // From another thread, as a learner starts one at the routine's address.
    HANDLE thread = CreateThread(nullptr, 0, &RunRoutine, const_cast<NamedRoutine*>(&r), 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    DWORD status = 1;
    GetExitCodeThread(thread, &status);
    EXPECT_EQ(status, 0u);
    CloseHandle(thread);
  }
  GroupAttackSend(6, 7);
  GroupAttackSend(6, 8);
  AppendToLog("nowhere\r\n");
}

}  // namespace
