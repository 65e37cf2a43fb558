// The course's exercises, solved from outside the running program the way a
// learner solves them: a debugger attached to it, code injected into it, a
// memory scan of it, a peer of its own. Every answer found is then handed to
// the answer checker, which must take it, and the near misses that learners
// make must be told "not yet". This file is compiled with the GBK execution
// character set, so its narrow strings are the program's own bytes. The
// 32-bit tree solves the exercises on the 32-bit builds, the 64-bit tree on
// kestravo64.exe with the 64-bit chapter's own exercises.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tests/check/checker_run.h"
#include "tests/e2e/debugger.h"
#include "tests/e2e/program.h"
#include "tests/support/pump.h"

namespace {

using kvtest::Debugger;
using kvtest::Frame;
using kvtest::Program;
using Lines = std::vector<std::string>;
using Bytes = std::vector<uint8_t>;

constexpr int kBreakTimeoutMs = 10000;
// Asking the log while the process runs under the debugger can wait out a
// debug event that stops all its threads: bounds are generous.
constexpr int kLogTimeoutMs = 20000;
constexpr int kFillerPushes = 45;
constexpr bool k64 = kvtest::kPointerSize == 8;
// A filler push's byte and the bytes it takes on the stack.
constexpr uint8_t kFillerByte = k64 ? 0x50 : 0x06;
constexpr uint32_t kPushSize = kvtest::kPointerSize;

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(value));
  return text;
}

Bytes Le32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

// The answer checker's verdict: 0 right, 1 not yet, 2 bad input.
int Check(const std::vector<std::string>& args) { return kvtest::RunChecker(args).exit_code; }

class CourseTest : public ::testing::TestWithParam<kvtest::Build> {
 protected:
  void SetUp() override {
    symbols_ = kvtest::ReadMapSymbols(GetParam().map);
    ASSERT_FALSE(symbols_.empty());
    ASSERT_TRUE(program_.Start(GetParam().exe));
    image_ = kvtest::FindRemoteModule(program_.process(), GetParam().module);
    ASSERT_NE(image_.base, 0u);
  }

  // Where a routine of the map lives in this run of the program.
  uint64_t Entry(const std::string& name) const {
    const uint32_t at = kvtest::SymbolAddress(symbols_, name);
    return at == 0 ? 0 : at - GetParam().map_base + image_.base;
  }

  // The map's name for the routine an address lies in; outside the image, "?".
  std::string Name(uint64_t address) const {
    if (address < image_.base || address >= image_.base + image_.size) return "?";
    const uint64_t in_map = address - image_.base + GetParam().map_base;
    std::string name = "?";
    for (const kvtest::MapSymbol& s : symbols_) {
      if (s.address > in_map) break;
      name = s.name;
    }
    return name;
  }

  // An address as a learner writes it for this build: absolute for
  // kestravo.exe, the build an address without a module name refers to;
  // from the module's base for the others (the course asks so).
  bool AbsoluteAnswers() const { return GetParam().module == L"kestravo.exe"; }
  std::string Answer(uint64_t address) const {
    return AbsoluteAnswers() ? Hex(address) : ModuleOffset(address);
  }

  // An address as a learner writes it from a module-relative view.
  std::string ModuleOffset(uint64_t address) const {
    const std::wstring& module = GetParam().module;
    char offset[24];
    std::snprintf(offset, sizeof offset, "+%llX", static_cast<unsigned long long>(address - image_.base));
    return std::string(module.begin(), module.end()) + offset;
  }

  void Click(const wchar_t* caption) { PostMessageW(program_.Button(caption), BM_CLICK, 0, 0); }

  std::function<bool()> LogHas(size_t lines) {
    return [this, lines] { return program_.LogLines().size() >= lines; };
  }

  // Starts a thread in the program at `start` and waits for it to end.
  void RunRemoteThread(uint64_t start) {
    HANDLE thread = CreateRemoteThread(program_.process(), nullptr, 0,
                                       reinterpret_cast<LPTHREAD_START_ROUTINE>(start), nullptr, 0,
                                       nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    CloseHandle(thread);
  }

  std::vector<kvtest::MapSymbol> symbols_;
  Program program_;
  kvtest::RemoteModule image_;
};

struct Chain {
  const wchar_t* caption;
  Bytes payload;
  std::vector<std::string> routines;  // from the send's caller up to the click handler
  std::vector<std::string> lines;
};

TEST_P(CourseTest, ADebuggerBreakingOnSendSeesEachPayloadAndTheChainAboveIt) {
  Debugger debugger;
  ASSERT_TRUE(debugger.Attach(program_.process_id(), program_.process()));
  const uint64_t send = kvtest::RemoteExport(program_.process(), L"ws2_32.dll", "send");
  ASSERT_NE(send, 0u);

  const Chain chains[] = {
      {L"普攻", {0xC6, 0xD5, 0xB9, 0xA5}, {"LinkClientSend", "NormalAttack"}, {"普攻 \r\n", "C6D5B9A5\r\n"}},
      {L"魔法", {0xB1, 0x7F, 0x39, 0x05}, {"LinkClientSend", "Magic", "OnButton2Click"},
       {"魔法 魔法\r\n", "B17F3905\r\n"}},
      {L"群功", {1, 2, 3, 4, 5, 6, 7, 8, 9, 0}, {"LinkClientSend", "GroupAttackSend", "GroupAttack", "OnButton3Click"},
       {"群攻 群攻 群攻\r\n", "01020304050607080900\r\n"}},
      {L"死亡", Le32(Entry("DeathRoutine")), {"LinkClientSend", "Death"},
       {"死亡 死亡 死亡 死亡\r\n", kvtest::AddressHexLine(Entry("DeathRoutine"))}},
  };
  Lines expected;
  for (const Chain& chain : chains) {
    SCOPED_TRACE(chain.routines.back());
    ASSERT_TRUE(debugger.SetBreakpoint(send));
    Click(chain.caption);
    ASSERT_TRUE(debugger.RunToBreakpoint(kBreakTimeoutMs)) << "send was never reached";
    const CONTEXT& at = debugger.context();

    // send(socket, buffer, length, flags): in 32-bit code the arguments lie
    // above the return address; in 64-bit code they are in rcx, rdx, r8, r9.
#ifdef _WIN64
    const uint64_t buffer = at.Rdx;
    const uint32_t length = static_cast<uint32_t>(at.R8);
#else
    const uint64_t buffer = kvtest::ReadRemote32(program_.process(), at.Esp + 8);
    const uint32_t length = kvtest::ReadRemote32(program_.process(), at.Esp + 12);
#endif
    ASSERT_EQ(length, chain.payload.size());
    Bytes sent(length);
    ASSERT_TRUE(kvtest::ReadRemote(program_.process(), buffer, sent.data(), length));
    EXPECT_EQ(sent, chain.payload);

    const std::vector<Frame> frames = debugger.WalkStack();
    std::vector<std::string> names;
    for (const Frame& f : frames) names.push_back(Name(f.return_address));
    const size_t n = chain.routines.size();
    ASSERT_GE(names.size(), n + 2);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + n), chain.routines);
    // Above the handler: the program's window code that dispatched the
    // click, then the system's.
    size_t system = n;
    while (system < names.size() && names[system] != "?") ++system;
    EXPECT_GT(system, n) << "no window code of the program above the handler";
    EXPECT_LT(system, names.size()) << "no system code above the program's";

    // The click handler's frame: right under its saved frame pointer lie the
    // 45 values its first filler run pushed: each the ES selector in 32-bit
    // code (some processors write only its low 16 bits), 45 copies of rax in
    // 64-bit code.
    const Frame& handler = frames[chain.routines.size() - 1];
    std::vector<uintptr_t> filler(kFillerPushes);
    ASSERT_TRUE(kvtest::ReadRemote(program_.process(), handler.frame_pointer - kPushSize * kFillerPushes,
                                   filler.data(), kPushSize * kFillerPushes));
#ifdef _WIN64
    for (uintptr_t value : filler) EXPECT_EQ(value, filler[0]);
#else
    for (uintptr_t value : filler) EXPECT_EQ(value & 0xFFFF, at.SegEs & 0xFFFF);
#endif

#ifdef _WIN64
    // The routines of the practice chain set their frames up the classic way:
    // rbp points at the caller's saved rbp, with the return address above
    // it. The link code does not: it saves six registers more and sets rbp
    // below them, so a walk by rbp from send loses its way at once.
    for (size_t i = 1; i + 1 < chain.routines.size(); ++i) {
      EXPECT_EQ(kvtest::ReadRemotePointer(program_.process(), frames[i].frame_pointer),
                frames[i + 1].frame_pointer);
      EXPECT_EQ(kvtest::ReadRemotePointer(program_.process(), frames[i].frame_pointer + 8),
                frames[i + 1].return_address);
    }
    EXPECT_NE(Name(kvtest::ReadRemotePointer(program_.process(), at.Rbp + 8)), chain.routines[1]);
#else
    if (chain.routines.back() == "OnButton3Click") {
      const uint64_t frame = frames[1].frame_pointer;  // GroupAttackSend's own
      EXPECT_EQ(kvtest::ReadRemote32(program_.process(), frame + 8), 6u);
      EXPECT_EQ(kvtest::ReadRemote32(program_.process(), frame + 12), 7u);
    }
#endif

    // What a learner would answer from this stop, and the near misses.
    const uint64_t caller = frames[1].return_address;  // inside the first routine of the chain
    if (chain.routines.back() == "NormalAttack") {
      EXPECT_EQ(Check({"2", Answer(Entry("NormalAttack"))}), 0);
      EXPECT_EQ(Check({"2", ModuleOffset(Entry("NormalAttack"))}), 0);
      EXPECT_EQ(Check({"2", Answer(caller)}), 1) << "inside the routine, not its entry";
      EXPECT_EQ(Check({"2", Answer(Entry("LinkClientSend"))}), 1) << "the link code";
    } else if (chain.routines.back() == "OnButton2Click") {
      EXPECT_EQ(Check({"3", Answer(Entry("Magic")), Answer(Entry("OnButton2Click"))}), 0);
      EXPECT_EQ(Check({"3", Answer(Entry("OnButton2Click")), Answer(Entry("Magic"))}), 1);
    } else if (chain.routines.back() == "OnButton3Click" && !k64) {
      // (The 64-bit arguments are read at GroupAttackSend's entry, below.)
      const std::string six = std::to_string(kvtest::ReadRemote32(program_.process(), frames[1].frame_pointer + 8));
      const std::string seven = std::to_string(kvtest::ReadRemote32(program_.process(), frames[1].frame_pointer + 12));
      EXPECT_EQ(Check({"4", Answer(Entry("GroupAttackSend")), six, seven}), 0);
      EXPECT_EQ(Check({"4", Answer(Entry("GroupAttackSend")), seven, six}), 1);
      EXPECT_EQ(Check({"4", Answer(Entry("GroupAttack")), six, seven}), 1) << "the caller";
    }
    expected.insert(expected.end(), chain.lines.begin(), chain.lines.end());
    ASSERT_TRUE(debugger.RunUntil(LogHas(expected.size()), kLogTimeoutMs));
  }

  // Detached, the program runs on as if nothing had happened.
  ASSERT_TRUE(debugger.Detach());
  program_.Press(L"魔法");
  expected.push_back("魔法 魔法\r\n");
  expected.push_back("B17F3905\r\n");
  ASSERT_TRUE(program_.WaitForLines(expected.size()));
  EXPECT_EQ(program_.LogLines(), expected);
}

TEST_P(CourseTest, TheFillerLowersTheStackAndTheHandlerRestoresItFromItsFrame) {
  // The handler's own `mov esp, ebp` (`mov rsp, rbp`) lies right after its
  // second filler run.
  const uint64_t entry = Entry("OnButton2Click");
  Bytes code(1024);
  ASSERT_TRUE(kvtest::ReadRemote(program_.process(), entry, code.data(), code.size()));
  const Bytes run(kFillerPushes, kFillerByte);
  size_t runs = 0, at = 0;
  for (size_t i = 0; i + kFillerPushes <= code.size() && runs < 2; ++i) {
    if (Bytes(code.begin() + i, code.begin() + i + kFillerPushes) == run) {
      ++runs;
      at = i + kFillerPushes;
      i = at - 1;
    }
  }
  ASSERT_EQ(runs, 2u);
  const Bytes leave = k64 ? Bytes{0x48, 0x89, 0xEC, 0x5D, 0xC3} : Bytes{0x89, 0xEC, 0x5D, 0xC3};
  ASSERT_EQ(Bytes(code.begin() + at, code.begin() + at + leave.size()), leave);

  Debugger debugger;
  ASSERT_TRUE(debugger.Attach(program_.process_id(), program_.process()));
  ASSERT_TRUE(debugger.SetBreakpoint(entry + at));
  Click(L"魔法");
  ASSERT_TRUE(debugger.RunToBreakpoint(kBreakTimeoutMs));
  const uint64_t lowered = debugger.FramePointer() - debugger.StackPointer();
  const uint64_t pushed = 2u * kFillerPushes * kPushSize;
  if (!k64) {
    EXPECT_EQ(lowered, pushed);
    EXPECT_EQ(Check({"6", "push", "es", std::to_string(lowered)}), 0);
    EXPECT_EQ(Check({"6", "push", "es", std::to_string(lowered / 2)}), 1);
    EXPECT_EQ(Check({"6", "push", "es", std::to_string(2 * kFillerPushes)}), 1);
  } else {
    // Between the runs the handler aligned rsp down to 16 bytes (45 pushes
    // of 8 leave it 8 off) and reserved the 32-byte shadow space.
    EXPECT_EQ(debugger.FramePointer() % 16, 0u);
    EXPECT_EQ(lowered, pushed + 8 + 32);
    EXPECT_EQ(Check({"12", "push", "rax", std::to_string(pushed)}), 0);
    EXPECT_EQ(Check({"12", "push", "rax", std::to_string(lowered)}), 1) << "alignment and shadow space";
    EXPECT_EQ(Check({"12", "push", "rax", std::to_string(pushed / 2)}), 1);
    EXPECT_EQ(Check({"12", "push", "es", std::to_string(pushed)}), 1);
  }

  ASSERT_TRUE(debugger.RunUntil(LogHas(2), kLogTimeoutMs));
  ASSERT_TRUE(debugger.Detach());
  EXPECT_EQ(program_.LogLines(), (Lines{"魔法 魔法\r\n", "B17F3905\r\n"}));
}

#ifdef _WIN64
// Code written into the program: sub rsp, 40 (the 32-byte shadow space, and
// 8 more to align the stack, which a thread enters 8 off like any routine);
// mov ecx, a; mov edx, b; call GroupAttackSend (through rax); add rsp, 40;
// return 0 from the thread.
Bytes CallStub(uint64_t routine, uint32_t a, uint32_t b) {
  Bytes code = {0x48, 0x83, 0xEC, 0x28, 0xB9};
  for (uint8_t x : Le32(a)) code.push_back(x);
  code.push_back(0xBA);
  for (uint8_t x : Le32(b)) code.push_back(x);
  code.insert(code.end(), {0x48, 0xB8});
  for (int i = 0; i < 8; ++i) code.push_back(static_cast<uint8_t>(routine >> (8 * i)));
  const Bytes rest = {0xFF, 0xD0, 0x48, 0x83, 0xC4, 0x28, 0x31, 0xC0, 0xC3};
  code.insert(code.end(), rest.begin(), rest.end());
  return code;
}
#else
// Code written into the program: push b; push a; call GroupAttackSend;
// add esp, 8 (the caller removes the arguments); return from the thread.
Bytes CallStub(uint64_t routine, uint32_t a, uint32_t b) {
  Bytes code = {0x68};
  for (uint8_t x : Le32(b)) code.push_back(x);
  code.push_back(0x68);
  for (uint8_t x : Le32(a)) code.push_back(x);
  code.push_back(0xB8);
  for (uint8_t x : Le32(static_cast<uint32_t>(routine))) code.push_back(x);
  const Bytes rest = {0xFF, 0xD0, 0x83, 0xC4, 0x08, 0x31, 0xC0, 0xC2, 0x04, 0x00};
  code.insert(code.end(), rest.begin(), rest.end());
  return code;
}
#endif

TEST_P(CourseTest, InjectedCallsOfGroupAttackSendSendOnlyForSixAndSeven) {
  void* memory = VirtualAllocEx(program_.process(), nullptr, 4096, MEM_COMMIT | MEM_RESERVE,
                                PAGE_EXECUTE_READWRITE);
  ASSERT_NE(memory, nullptr);
  const auto stub = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(memory));
  auto call = [&](uint32_t a, uint32_t b) {
    const Bytes code = CallStub(Entry("GroupAttackSend"), a, b);
    ASSERT_TRUE(kvtest::WriteRemote(program_.process(), stub, code.data(), code.size()));
    RunRemoteThread(stub);
  };
  for (const auto& [a, b] : {std::pair{6u, 8u}, {7u, 6u}, {0u, 0u}}) call(a, b);
  // Nothing came of those: the first lines are a press's own.
  program_.Press(L"魔法");
  ASSERT_TRUE(program_.WaitForLines(2));
  call(6, 7);
  ASSERT_TRUE(program_.WaitForLines(4));
  EXPECT_EQ(program_.LogLines(), (Lines{"魔法 魔法\r\n", "B17F3905\r\n", "群攻 群攻 群攻\r\n",
                                        "01020304050607080900\r\n"}));
  VirtualFreeEx(program_.process(), memory, 0, MEM_RELEASE);
  if (!k64) {
    // The stub pushes 7, then 6, and removes them itself.
    EXPECT_EQ(Check({"7", "7", "6", "caller"}), 0);
    EXPECT_EQ(Check({"7", "6", "7", "caller"}), 1);
  } else {
    // The stub puts a in ecx and b in edx, and reserves 32 bytes of shadow space.
    EXPECT_EQ(Check({"11", "ecx", "edx", "32"}), 0);
    EXPECT_EQ(Check({"11", "rcx", "rdx", "32"}), 0);
    EXPECT_EQ(Check({"11", "edx", "ecx", "32"}), 1);
    EXPECT_EQ(Check({"11", "ecx", "edx", "40"}), 1) << "the alignment is not shadow space";
    EXPECT_EQ(Check({"11", "ecx", "edx", "0"}), 1);
  }
}

#ifdef _WIN64
TEST_P(CourseTest, AtGroupAttackSendsEntryItsArgumentsAreInEcxAndEdxAndTheShadowSpaceAboveTheReturn) {
  Debugger debugger;
  ASSERT_TRUE(debugger.Attach(program_.process_id(), program_.process()));
  ASSERT_TRUE(debugger.SetBreakpoint(Entry("GroupAttackSend")));
  Click(L"群功");
  ASSERT_TRUE(debugger.RunToBreakpoint(kBreakTimeoutMs));
  const CONTEXT& at = debugger.context();
  const uint32_t a = static_cast<uint32_t>(at.Rcx), b = static_cast<uint32_t>(at.Rdx);
  EXPECT_EQ(a, 6u);
  EXPECT_EQ(b, 7u);
  // The caller aligned rsp to 16 bytes before its call, and reserved 32
  // bytes between its own frame and the return address: rbp, still the
  // caller's, lies 8 + 32 bytes above rsp.
  EXPECT_EQ(at.Rsp % 16, 8u);
  EXPECT_EQ(at.Rbp - at.Rsp, 8u + 32u);
  EXPECT_EQ(Name(kvtest::ReadRemotePointer(program_.process(), at.Rsp)), "GroupAttack");
  ASSERT_TRUE(debugger.RunUntil(LogHas(2), 5000));
  ASSERT_TRUE(debugger.Detach());
  EXPECT_EQ(program_.LogLines(), (Lines{"群攻 群攻 群攻\r\n", "01020304050607080900\r\n"}));

  const std::string first = std::to_string(a), second = std::to_string(b);
  EXPECT_EQ(Check({"4", Answer(Entry("GroupAttackSend")), first, second}), 0);
  EXPECT_EQ(Check({"4", Answer(Entry("GroupAttackSend")), second, first}), 1);
  EXPECT_EQ(Check({"4", Answer(Entry("GroupAttack")), first, second}), 1) << "the caller";
}
#endif

TEST_P(CourseTest, AThreadStartedAtTheAddressInTheDeathHexLinePerformsAGroupAttack) {
  program_.Press(L"死亡");
  ASSERT_TRUE(program_.WaitForLines(2));
  const std::string hex = program_.LogLines()[1];
  ASSERT_EQ(hex.size(), 10u);
  // Eight digits, the least significant byte first.
  uint64_t address = 0;
  for (int i = 3; i >= 0; --i) address = address << 8 | std::stoul(hex.substr(2 * i, 2), nullptr, 16);
  EXPECT_EQ(Name(address), "DeathRoutine");
  EXPECT_EQ(address, Entry("DeathRoutine"));
  RunRemoteThread(address);
  ASSERT_TRUE(program_.WaitForLines(4));
  EXPECT_EQ(program_.LogLines()[2], "群攻 群攻 群攻\r\n");
  EXPECT_EQ(program_.LogLines()[3], "01020304050607080900\r\n");

  EXPECT_EQ(Check({"5", Answer(address), "3"}), 0);
  if (AbsoluteAnswers()) {
    EXPECT_EQ(Check({"5", "0x" + hex.substr(0, 8), "3"}), 1) << "the digits as they stand";
  } else if (!GetParam().fixed_base) {
    // The moving build's exercise: the address less the module's base.
    EXPECT_EQ(Check({"10", ModuleOffset(address)}), 0);
    EXPECT_EQ(Check({"10", Hex(address)}), 2) << "an absolute address of a moving build";
  }
  EXPECT_EQ(Check({"5", Answer(Entry("GroupAttack")), "3"}), 1) << "the routine it calls";
}

TEST_P(CourseTest, AMemoryScanFindsTheMagicValueOnceInTheImageAndAWriteChangesWhatIsSent) {
  // The scan a memory scanner makes for the 4-byte value 87654321 over the
  // program's own image.
  Bytes image(image_.size);
  for (uint32_t page = 0; page < image_.size; page += 4096) {
    kvtest::ReadRemote(program_.process(), image_.base + page, image.data() + page, 4096);
  }
  const Bytes value = Le32(87654321);
  std::vector<uint64_t> hits;
  for (size_t i = 0; i + 4 <= image.size(); ++i) {
    if (std::equal(value.begin(), value.end(), image.begin() + i)) hits.push_back(image_.base + i);
  }
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(Name(hits[0]), "magic_payload");

  const Bytes changed = Le32(12345678);
  ASSERT_TRUE(kvtest::WriteRemote(program_.process(), hits[0], changed.data(), changed.size()));
  program_.Press(L"魔法");
  ASSERT_TRUE(program_.WaitForLines(2));
  const Lines lines = program_.LogLines();
  EXPECT_EQ(lines, (Lines{"魔法 魔法\r\n", "4E61BC00\r\n"}));

  const std::string line = lines[1].substr(0, lines[1].size() - 2);
  EXPECT_EQ(Check({"9", Answer(hits[0]), line}), 0);
  EXPECT_EQ(Check({"9", Answer(Entry("Magic")), line}), 1) << "the code, not the data";
}

TEST_P(CourseTest, ThePortAnswersAnyPeerAndASecondCopySendsToTheFirst) {
  const uint32_t base = kvtest::PreferredImageBase(GetParam().exe);
  EXPECT_EQ(image_.base, base) << "loaded at the base its header names";
  EXPECT_EQ(Check({"1", Answer(base), std::to_string(kvtest::kPort)}), 0);

  kvtest::RawSocket peer;
  ASSERT_TRUE(peer.Connect(kvtest::kPort));
  ASSERT_TRUE(peer.SendAll("KV"));
  ASSERT_TRUE(program_.WaitForLines(1));
  const std::string line = program_.LogLines()[0];
  EXPECT_EQ(line, "4B56\r\n");
  peer.Close();

  Program second;
  ASSERT_TRUE(second.Start(GetParam().exe));
  second.Press(L"普攻");
  ASSERT_TRUE(program_.WaitForLines(2));
  ASSERT_TRUE(second.WaitForLines(1));
  Sleep(200);
  EXPECT_EQ(program_.LogLines(), (Lines{"4B56\r\n", "C6D5B9A5\r\n"}));
  EXPECT_EQ(second.LogLines(), (Lines{"普攻 \r\n"}));
  EXPECT_EQ(Check({"8", line.substr(0, 4), "1"}), 0);
  EXPECT_EQ(Check({"8", line.substr(0, 4), "2"}), 1);
}

INSTANTIATE_TEST_SUITE_P(Builds, CourseTest, ::testing::ValuesIn(kvtest::ShippedBuilds()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
