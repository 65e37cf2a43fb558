// The program under load, faults and hostile peers, from outside its process.
// Compiled with the GBK execution character set, like the actions' tests.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/program.h"
#include "tests/support/pump.h"

namespace {

using kvtest::Program;
using kvtest::RawSocket;
using Lines = std::vector<std::string>;

std::string HexOf(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

std::string Pattern(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + seed * 7 + i / 97) & 0xFF);
  return bytes;
}

// The hex lines of the log after `first`, joined: the bytes logged since.
std::string LoggedHexSince(const Program& program, size_t first) {
  const Lines lines = program.LogLines();
  std::string hex;
  for (size_t i = first; i < lines.size(); ++i) {
    if (lines[i].size() >= 2 && lines[i].compare(lines[i].size() - 2, 2, "\r\n") == 0) {
      hex += lines[i].substr(0, lines[i].size() - 2);
    }
  }
  return hex;
}

// Waits until the process's handle count is back at `count` (sockets close
// after their last notification has been handled).
bool HandlesBackTo(const Program& program, int count) {
  for (int i = 0; i < 100; ++i) {
    if (program.HandleCount() <= count) return true;
    Sleep(50);
  }
  return false;
}

bool StillRunning(const Program& program) {
  return WaitForSingleObject(program.process(), 0) == WAIT_TIMEOUT;
}

void ExpectAPressStillWorks(const Program& program) {
  const size_t before = program.LogLines().size();
  program.Press(L"普攻");
  ASSERT_TRUE(program.WaitForLines(before + 2));
  const Lines lines = program.LogLines();
  EXPECT_EQ(lines[before], "普攻 \r\n");
  EXPECT_EQ(lines[before + 1], "C6D5B9A5\r\n");
}

// The handles the program holds once it is settled: its own connection
// accepted (the hex line of a press comes only from an accepted peer) and
// what its first press opens for good. A count taken earlier is one short
// whenever the accept comes late.
int SettledHandleCount(const Program& program) {
  ExpectAPressStillWorks(program);
  return program.HandleCount();
}

TEST(RobustnessTest, TwoHundredPeersAtOnceAreAllLogged) {
  Program program;
  ASSERT_TRUE(program.Start());
  const int handles = SettledHandleCount(program);
  ASSERT_GT(handles, 0);
  const size_t first = program.LogLines().size();

  constexpr int kPeers = 200;
  std::vector<std::unique_ptr<RawSocket>> peers;
  Lines expected;
  for (int i = 0; i < kPeers; ++i) {
    peers.push_back(std::make_unique<RawSocket>());
    ASSERT_TRUE(peers.back()->Connect(kvtest::kPort)) << i;
  }
  for (int i = 0; i < kPeers; ++i) {
    const std::string payload = "\xAB" + std::string(reinterpret_cast<const char*>(&i), 4) + "\xCD";
    ASSERT_TRUE(peers[i]->SendAll(payload));
    expected.push_back(HexOf(payload) + "\r\n");
  }
  for (auto& peer : peers) peer->Close();

  ASSERT_TRUE(program.WaitForLines(first + kPeers, 30000)) << program.LogLines().size() << " lines";
  Lines logged = program.LogLines();
  logged.erase(logged.begin(), logged.begin() + static_cast<std::ptrdiff_t>(first));
  std::sort(logged.begin(), logged.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(logged, expected) << "each payload once, as one line";
  EXPECT_TRUE(StillRunning(program));
  EXPECT_TRUE(HandlesBackTo(program, handles)) << program.HandleCount() << " vs " << handles;
  ExpectAPressStillWorks(program);
}

TEST(RobustnessTest, ResetsAndHalfClosesLoseNothingThatArrived) {
  Program program;
  ASSERT_TRUE(program.Start());
  const int handles = SettledHandleCount(program);
  enum class End { kReset, kClose, kHalfClose };
  const struct {
    const char* name;
    size_t size;
    End end;
  } cases[] = {{"reset in the middle of a stream", 48 * 1024, End::kReset},
               {"connect and close at once", 0, End::kClose},
               {"connect and reset at once", 0, End::kReset},
               {"half-close after sending", 12 * 1024, End::kHalfClose},
               {"close right after sending", 12 * 1024, End::kClose}};
  unsigned seed = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const size_t first = program.LogLines().size();
    RawSocket peer;
    ASSERT_TRUE(peer.Connect(kvtest::kPort));
    std::string sent;
    if (c.size > 0) {
      // A marker first: once its line is in, the program has accepted the peer.
      ASSERT_TRUE(peer.SendAll("\x5A"));
      ASSERT_TRUE(program.WaitForLines(first + 1));
      sent = Pattern(c.size, seed++);
      ASSERT_TRUE(peer.SendAll(sent));
    }
    if (c.end == End::kReset) peer.Reset();
    if (c.end == End::kClose) peer.Close();
    if (c.end == End::kHalfClose) {
      peer.ShutdownSend();
      // The program closes its end once it has read everything.
      EXPECT_EQ(peer.AwaitEnd(60000), kvtest::StreamEnd::kClosed);
    }
    const std::string expected = c.size > 0 ? "5A" + HexOf(sent) : "";
    const DWORD start = GetTickCount();
    while (LoggedHexSince(program, first).size() < expected.size() && GetTickCount() - start < 60000) {
      Sleep(50);
    }
    EXPECT_EQ(LoggedHexSince(program, first), expected);
    ASSERT_TRUE(StillRunning(program));
  }
  EXPECT_TRUE(HandlesBackTo(program, handles)) << program.HandleCount() << " vs " << handles;
  ExpectAPressStillWorks(program);
}

struct Flood {
  SOCKET socket;
  std::atomic<bool> stop{false};
  static DWORD WINAPI Run(void* arg) {
    auto* f = static_cast<Flood*>(arg);
    const std::string chunk = Pattern(64 * 1024, 3);
    while (!f->stop && send(f->socket, chunk.data(), static_cast<int>(chunk.size()), 0) > 0) {
    }
    return 0;
  }
};

TEST(RobustnessTest, APeerThatNeverStopsSendingLeavesTheWindowResponsiveAndMemoryBounded) {
  Program program;
  ASSERT_TRUE(program.Start());
  Sleep(300);
  const size_t idle = program.WorkingSet();
  RawSocket peer;
  ASSERT_TRUE(peer.Connect(kvtest::kPort));
  Flood flood;
  flood.socket = peer.handle();
  HANDLE writer = CreateThread(nullptr, 0, &Flood::Run, &flood, 0, nullptr);
  ASSERT_NE(writer, nullptr);
  for (int press = 0; press < 6; ++press) {
    Sleep(300);
    const std::wstring before = program.LogText();
    const DWORD start = GetTickCount();
    program.Press(L"魔法");
    bool logged = false;
    while (!logged && GetTickCount() - start < 5000) {
      logged = program.LogText().find(L"魔法 魔法\r\n", before.size()) != std::wstring::npos;
      if (!logged) Sleep(10);
    }
    EXPECT_TRUE(logged) << "press " << press << " during the stream";
  }
  const size_t log_bytes = program.LogText().size() * sizeof(wchar_t);
  const size_t peak = program.PeakWorkingSet();
  flood.stop = true;
  peer.Reset();  // drops what is still queued: the test does not wait for it
  WaitForSingleObject(writer, 5000);
  CloseHandle(writer);
  // What the program holds grows with what it has logged, not with what the
  // peer sent: the peer sent far more than was read.
  EXPECT_LE(peak, idle + 4 * log_bytes + 32 * 1024 * 1024)
      << "idle " << idle << ", peak " << peak << ", log " << log_bytes;
  EXPECT_TRUE(StillRunning(program));
}

TEST(RobustnessTest, TenThousandPressesGiveTwentyThousandLinesInOrder) {
  const uint32_t death = kvtest::DeathRoutineAddress();
  ASSERT_NE(death, 0u);
  const std::string death_hex = kvtest::AddressHexLine(death);
  const struct {
    const wchar_t* caption;
    Lines lines;
  } buttons[] = {{L"普攻", {"普攻 \r\n", "C6D5B9A5\r\n"}},
                 {L"魔法", {"魔法 魔法\r\n", "B17F3905\r\n"}},
                 {L"群功", {"群攻 群攻 群攻\r\n", "01020304050607080900\r\n"}},
                 {L"死亡", {"死亡 死亡 死亡 死亡\r\n", death_hex}}};
  Program program;
  ASSERT_TRUE(program.Start());
  HWND handles[4];
  size_t lengths[4];
  for (int b = 0; b < 4; ++b) {
    handles[b] = program.Button(buttons[b].caption);
    ASSERT_NE(handles[b], nullptr);
    // Both lines are ASCII but for the action's words, which are one UTF-16
    // unit per two GBK bytes.
    lengths[b] = 0;
    for (const std::string& line : buttons[b].lines) {
      lengths[b] += static_cast<size_t>(MultiByteToWideChar(936, 0, line.data(),
                                                            static_cast<int>(line.size()), nullptr, 0));
    }
  }
  HWND log = program.LogBox();
  Lines expected;
  size_t length = 0;
  for (int press = 0; press < 10000; ++press) {
    const int b = press % 4;
    // The button's click notification, as the button sends it: a press by
    // message that skips drawing the button down and up again.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(program.window(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(handles[b]), BN_CLICKED),
                        reinterpret_cast<LPARAM>(handles[b]), SMTO_BLOCK, 5000, &result);
    length += lengths[b];
    expected.insert(expected.end(), buttons[b].lines.begin(), buttons[b].lines.end());
    // The hex line is in before the next press, so no two payloads share a burst.
    const DWORD start = GetTickCount();
    DWORD_PTR now = 0;
    while (SendMessageTimeoutW(log, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, 5000, &now) && now < length &&
           GetTickCount() - start < 5000) {
      Sleep(0);  // let the program take its read notification between questions
    }
    ASSERT_EQ(now, length) << "press " << press;
  }
  EXPECT_EQ(program.LogLines(), expected);
}

}  // namespace
