// The four practice actions and the hex log, seen from outside the process.
// This file is compiled with the GBK execution character set, so its narrow
// strings are the program's own bytes.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/debugger.h"
#include "tests/e2e/program.h"
#include "tests/support/pump.h"

namespace {

using kvtest::Program;
using Lines = std::vector<std::string>;

using kvtest::DeathRoutineAddress;

struct Action {
  const wchar_t* caption;
  std::string line;
  std::string failure_line;
  std::string hex_line;
};

std::vector<Action> Actions() {
  return {
      {L"普攻", "普攻 \r\n", "发送数据 普攻 失败\r\n", "C6D5B9A5\r\n"},
      {L"魔法", "魔法 魔法\r\n", "发送数据 魔法 失败\r\n", "B17F3905\r\n"},
      {L"群功", "群攻 群攻 群攻\r\n", "发送数据 群攻 失败\r\n", "01020304050607080900\r\n"},
      {L"死亡", "死亡 死亡 死亡 死亡\r\n", "发送数据 死亡 失败\r\n", kvtest::AddressHexLine(DeathRoutineAddress())},
  };
}

class EveryBuildTest : public ::testing::TestWithParam<kvtest::Build> {};

TEST_P(EveryBuildTest, EachPressLogsItsLineThenTheHexOfItsPayload) {
  const kvtest::Build& build = GetParam();
  const uint32_t death = kvtest::SymbolAddress(kvtest::ReadMapSymbols(build.map), "DeathRoutine");
  ASSERT_NE(death, 0u);
  Program program;
  ASSERT_TRUE(program.Start(build.exe));
  // Where this run put the image: the address sent moves with it.
  const kvtest::RemoteModule image = kvtest::FindRemoteModule(program.process(), build.module);
  ASSERT_NE(image.base, 0u);
  std::vector<Action> actions = Actions();
  actions.back().hex_line = kvtest::AddressHexLine(death - build.map_base + image.base);
  Lines expected;
  for (const Action& action : actions) {
    program.Press(action.caption);
    expected.push_back(action.line);
    expected.push_back(action.hex_line);
    ASSERT_TRUE(program.WaitForLines(expected.size()));
    EXPECT_EQ(program.LogLines(), expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Builds, EveryBuildTest, ::testing::ValuesIn(kvtest::ShippedBuilds()),
                         [](const auto& info) { return info.param.name; });

TEST(ActionsTest, ARealPointerClickPressesTheButton) {
  Program program;
  ASSERT_TRUE(program.Start());
  // The click goes to whatever is on the screen there: wait until the window
  // is the one in front.
  SetForegroundWindow(program.window());
  ASSERT_TRUE(kvtest::PumpUntil([&] { return GetForegroundWindow() == program.window(); }, 5000));
  RECT r;
  GetWindowRect(program.Button(L"魔法"), &r);
  const std::string click = "/usr/bin/xdotool mousemove --sync " +
                            std::to_string((r.left + r.right) / 2) + " " +
                            std::to_string((r.top + r.bottom) / 2) + " click 1";
  ASSERT_TRUE(kvtest::StartHostCommand(click));
  // The host's tool can take seconds to start on a busy machine; a click that
  // came after this test gave up would land in the next test's window.
  ASSERT_TRUE(program.WaitForLines(2, 30000));
  EXPECT_EQ(program.LogLines(), (Lines{"魔法 魔法\r\n", "B17F3905\r\n"}));
}

TEST(ActionsTest, WithNothingListeningEveryPressLogsOnlyItsFailureLine) {
  // Bound but not listening: the program cannot listen, and its connect is refused.
  kvtest::RawSocket blocker;
  sockaddr_in at = {};
  at.sin_family = AF_INET;
  at.sin_port = htons(kvtest::kPort);
  ASSERT_EQ(bind(blocker.handle(), reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  Program program;
  ASSERT_TRUE(program.Start());
  EXPECT_EQ(kvtest::FindProgramWindows().size(), 1u) << "no message box or other window";
  Lines expected;
  for (const Action& action : Actions()) {
    program.Press(action.caption);
    expected.push_back(action.failure_line);
  }
  ASSERT_TRUE(program.WaitForLines(expected.size()));
  Sleep(200);
  EXPECT_EQ(program.LogLines(), expected);
  PostMessageW(program.window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(program.WaitForExit(), 0u);
}

TEST(ActionsTest, TwoSendsBeforeTheServerReadsGiveOneHexLine) {
  Program program;
  ASSERT_TRUE(program.Start());
  // Both clicks are queued while the program's thread is held, so that it
  // cannot take the first (and then the server's read notification) before
  // the second is queued.
  HWND magic = program.Button(L"魔法");
  HWND normal = program.Button(L"普攻");
  ASSERT_NE(SuspendThread(program.main_thread()), static_cast<DWORD>(-1));
  PostMessageW(magic, BM_CLICK, 0, 0);
  PostMessageW(normal, BM_CLICK, 0, 0);
  ResumeThread(program.main_thread());
  ASSERT_TRUE(program.WaitForLines(3));
  Sleep(200);
  EXPECT_EQ(program.LogLines(), (Lines{"魔法 魔法\r\n", "普攻 \r\n", "B17F3905C6D5B9A5\r\n"}));
}

TEST(ActionsTest, AnotherPeersBytesAreLoggedTheSameWay) {
  Program program;
  ASSERT_TRUE(program.Start());
  kvtest::RawSocket peer;
  ASSERT_TRUE(peer.Connect(kvtest::kPort));
  ASSERT_TRUE(peer.SendAll(std::string("\x00\x0A\xFF", 3)));
  ASSERT_TRUE(program.WaitForLines(1));
  // A payload split over two bursts gives two lines.
  ASSERT_TRUE(peer.SendAll("\xC6\xD5"));
  ASSERT_TRUE(program.WaitForLines(2));
  ASSERT_TRUE(peer.SendAll("\xB9\xA5"));
  ASSERT_TRUE(program.WaitForLines(3));
  EXPECT_EQ(program.LogLines(), (Lines{"000AFF\r\n", "C6D5\r\n", "B9A5\r\n"}));
  peer.Close();
  program.Press(L"普攻");
  ASSERT_TRUE(program.WaitForLines(5));
  EXPECT_EQ(program.LogLines()[4], "C6D5B9A5\r\n");
}

}  // namespace
