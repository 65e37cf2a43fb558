// The built program's machine code, read from the exe with the addresses of
// the linker map: the shapes of the practice routines are what learners look
// for, so they are checked byte for byte. The 32-bit tree checks kestravo.exe,
// the 64-bit tree kestravo64.exe, each with its own instruction set.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/e2e/debugger.h"
#include "tests/e2e/program.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A PE image as it would be mapped: sections placed at their virtual addresses.
class Image {
 public:
  explicit Image(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    file_.assign(std::istreambuf_iterator<char>(file), {});
    if (file_.size() < 0x200) return;
    const uint32_t pe = U32(file_, 0x3C);
    const uint16_t sections = U16(file_, pe + 6);
    const uint16_t optional_size = U16(file_, pe + 20);
    const uint32_t optional = pe + 24;
    // PE32+ (64-bit): an 8-byte ImageBase without BaseOfData before it, and
    // 16 more bytes of header before the data directories.
    pe32_plus_ = U16(file_, optional) == 0x20B;
    base_ = U32(file_, optional + (pe32_plus_ ? 24 : 28));
    dynamic_base_ = (U16(file_, optional + 70) & 0x40) != 0;
    const uint32_t directories = optional + (pe32_plus_ ? 112 : 96);
    import_rva_ = U32(file_, directories + 8);
    relocations_size_ = U32(file_, directories + 5 * 8 + 4);
    high_base_ = pe32_plus_ ? U32(file_, optional + 28) : 0;
    for (uint16_t i = 0; i < sections; ++i) {
      const uint32_t at = optional + optional_size + i * 40;
      Section s;
      s.rva = U32(file_, at + 12);
      s.size = U32(file_, at + 8);
      const uint32_t raw_size = U32(file_, at + 16);
      const uint32_t raw = U32(file_, at + 20);
      s.executable = (U32(file_, at + 36) & 0x20000000) != 0;
      s.bytes.assign(s.size, 0);
      const uint32_t n = std::min(raw_size, s.size);
      if (raw + n <= file_.size()) std::memcpy(s.bytes.data(), &file_[raw], n);
      sections_.push_back(std::move(s));
    }
  }

  bool loaded() const { return !sections_.empty(); }
  uint32_t base() const { return base_; }
  uint32_t high_base() const { return high_base_; }  // ImageBase above 32 bits
  bool dynamic_base() const { return dynamic_base_; }
  uint32_t relocations_size() const { return relocations_size_; }

  // `count` bytes at virtual address `va`; empty when not mapped.
  Bytes At(uint32_t va, uint32_t count) const {
    for (const Section& s : sections_) {
      const uint32_t start = base_ + s.rva;
      if (va >= start && va + count <= start + s.size) {
        return Bytes(s.bytes.begin() + (va - start), s.bytes.begin() + (va - start + count));
      }
    }
    return {};
  }

  // Every run of at least `length` bytes of `value` in executable sections.
  std::vector<uint32_t> Runs(uint8_t value, size_t length) const {
    std::vector<uint32_t> runs;
    for (const Section& s : sections_) {
      if (!s.executable) continue;
      for (size_t i = 0; i < s.bytes.size();) {
        size_t j = i;
        while (j < s.bytes.size() && s.bytes[j] == value) ++j;
        if (j - i >= length) runs.push_back(base_ + s.rva + static_cast<uint32_t>(i));
        i = j > i ? j : i + 1;
      }
    }
    return runs;
  }

  // The import address table slot of `dll`!`function`, 0 if not imported.
  uint32_t ImportSlot(const std::string& dll, const std::string& function) const {
    for (uint32_t d = base_ + import_rva_;; d += 20) {
      const Bytes entry = At(d, 20);
      if (entry.size() != 20 || U32(entry, 12) == 0) return 0;
      if (lstrcmpiA(String(base_ + U32(entry, 12)).c_str(), dll.c_str()) != 0) continue;
      const uint32_t names = U32(entry, 0) != 0 ? U32(entry, 0) : U32(entry, 16);
      const uint32_t width = pe32_plus_ ? 8 : 4;  // a thunk's width; its top bit marks an ordinal
      for (uint32_t k = 0;; ++k) {
        const Bytes thunk = At(base_ + names + width * k, width);
        if (thunk.size() != width || (U32(thunk, 0) == 0 && U32(thunk, width - 4) == 0)) break;
        const uint32_t hint_name = U32(thunk, 0);
        const bool ordinal = (U32(thunk, width - 4) & 0x80000000u) != 0;
        if (!ordinal && String(base_ + hint_name + 2) == function) {
          return base_ + U32(entry, 16) + width * k;
        }
      }
    }
  }

  static uint32_t U32(const Bytes& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
  }
  static uint16_t U16(const Bytes& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
  }

 private:
  struct Section {
    uint32_t rva;
    uint32_t size;
    bool executable;
    Bytes bytes;
  };

  std::string String(uint32_t va) const {
    std::string text;
    for (Bytes c; (c = At(va, 1)).size() == 1 && c[0] != 0; ++va) text += static_cast<char>(c[0]);
    return text;
  }

  Bytes file_;
  bool pe32_plus_ = false;
  uint32_t base_ = 0;
  uint32_t high_base_ = 0;
  bool dynamic_base_ = false;
  uint32_t import_rva_ = 0;
  uint32_t relocations_size_ = 0;
  std::vector<Section> sections_;
};

class MachineCodeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    image_ = new Image(kvtest::ProgramPath());
    symbols_ = new std::vector<kvtest::MapSymbol>(kvtest::ReadMapSymbols(kvtest::MapPath()));
  }
  static void TearDownTestSuite() {
    delete image_;
    delete symbols_;
  }

  void SetUp() override {
    ASSERT_TRUE(image_->loaded());
    ASSERT_FALSE(symbols_->empty());
  }

  static uint32_t Address(const std::string& name) { return kvtest::SymbolAddress(*symbols_, name); }

  // A routine's bytes: from its symbol to the next symbol above it.
  static Bytes Routine(const std::string& name, uint32_t* start = nullptr) {
    const uint32_t at = Address(name);
    if (at == 0) return {};
    uint32_t end = 0;
    for (const kvtest::MapSymbol& s : *symbols_) {
      if (s.address > at) {
        end = s.address;
        break;
      }
    }
    if (start != nullptr) *start = at;
    return image_->At(at, end - at);
  }

  // Targets of the direct calls (E8) and jumps (E9) found in a routine.
  static std::vector<uint32_t> Targets(const Bytes& code, uint32_t start, uint8_t opcode) {
    std::vector<uint32_t> targets;
    for (size_t i = 0; i + 5 <= code.size(); ++i) {
      if (code[i] == opcode) {
        targets.push_back(start + static_cast<uint32_t>(i) + 5 + Image::U32(code, i + 1));
      }
    }
    return targets;
  }

  // Whether `caller` holds a direct call (E8) or jump (E9) to `callee`.
  static bool Reaches(const std::string& caller, const std::string& callee, uint8_t opcode) {
    uint32_t start = 0;
    const Bytes code = Routine(caller, &start);
    for (uint32_t t : Targets(code, start, opcode)) {
      if (t == Address(callee)) return true;
    }
    return false;
  }
  static bool Calls(const std::string& caller, const std::string& callee) {
    return Reaches(caller, callee, 0xE8);
  }
  static bool JumpsTo(const std::string& caller, const std::string& callee) {
    return Reaches(caller, callee, 0xE9);
  }

  static Image* image_;
  static std::vector<kvtest::MapSymbol>* symbols_;
};

Image* MachineCodeTest::image_ = nullptr;
std::vector<kvtest::MapSymbol>* MachineCodeTest::symbols_ = nullptr;

#ifdef _WIN64
const Bytes kEnter = {0x55, 0x48, 0x89, 0xE5};          // push rbp; mov rbp, rsp
const Bytes kFiller(45, 0x50);                          // 45 x push rax
// and rsp, -16; sub rsp, 32: the calls' stack aligned to 16, with their
// 32-byte shadow space.
const Bytes kAlign = {0x48, 0x83, 0xE4, 0xF0, 0x48, 0x83, 0xEC, 0x20};
const Bytes kLeave = {0x48, 0x89, 0xEC, 0x5D, 0xC3};    // mov rsp, rbp; pop rbp; ret
constexpr size_t kSendAndLogSize = 48;
#else
const Bytes kEnter = {0x55, 0x89, 0xE5};                // push ebp; mov ebp, esp
const Bytes kFiller(45, 0x06);                          // 45 x push es
const Bytes kAlign = {};                                // cdecl asks for no alignment
const Bytes kLeave = {0x89, 0xEC, 0x5D, 0xC3};          // mov esp, ebp; pop ebp; ret
constexpr size_t kSendAndLogSize = 44;
#endif

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

Bytes Rel32Call(uint32_t from, uint32_t to) {
  const uint32_t rel = to - (from + 5);
  return {0xE8, static_cast<uint8_t>(rel), static_cast<uint8_t>(rel >> 8),
          static_cast<uint8_t>(rel >> 16), static_cast<uint8_t>(rel >> 24)};
}

Bytes Le32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

#ifdef _WIN64
// A 32-bit displacement from the end of an instruction to `to`.
Bytes Rel32(uint32_t end, uint32_t to) { return Le32(to - end); }

// The send-and-log body: mov rcx, [link_client]; lea rdx, payload;
// mov r8d, 4; call LinkClientSend; test al, al; lea rcx, line; jnz +7;
// lea rcx, failure line; call AppendToLog (all data addressed from rip).
// Returns the payload address it passes, 0 if the body has another shape.
uint32_t SendAndLogPayload(const Bytes& body, uint32_t at, uint32_t send, uint32_t append,
                           uint32_t link_client) {
  if (body.size() != kSendAndLogSize) return 0;
  const uint32_t payload = at + 14 + Image::U32(body, 10);
  const Bytes expected = Concat({{0x48, 0x8B, 0x0D}, Rel32(at + 7, link_client), {0x48, 0x8D, 0x15},
                                 Rel32(at + 14, payload), {0x41, 0xB8, 0x04, 0x00, 0x00, 0x00},
                                 Rel32Call(at + 20, send), {0x84, 0xC0, 0x48, 0x8D, 0x0D},
                                 Bytes(body.begin() + 30, body.begin() + 34), {0x75, 0x07, 0x48, 0x8D, 0x0D},
                                 Bytes(body.begin() + 39, body.begin() + 43), Rel32Call(at + 43, append)});
  return expected == body ? payload : 0;
}
#else
// The send-and-log body: push length; push payload; push [link_client];
// call LinkClientSend; add esp, 12; test al, al; mov eax, line; jnz +5;
// mov eax, failure line; push eax; call AppendToLog; add esp, 4.
// Returns the payload address it pushes, 0 if the body has another shape.
uint32_t SendAndLogPayload(const Bytes& body, uint32_t at, uint32_t send, uint32_t append,
                           uint32_t link_client) {
  if (body.size() != kSendAndLogSize) return 0;
  const uint32_t payload = Image::U32(body, 3);
  const Bytes expected = Concat({{0x6A, 0x04, 0x68}, Le32(payload), {0xFF, 0x35}, Le32(link_client),
                                 Rel32Call(at + 13, send), {0x83, 0xC4, 0x0C, 0x84, 0xC0, 0xB8},
                                 Bytes(body.begin() + 24, body.begin() + 28), {0x75, 0x05, 0xB8},
                                 Bytes(body.begin() + 31, body.begin() + 35), {0x50},
                                 Rel32Call(at + 36, append), {0x83, 0xC4, 0x04}});
  return expected == body ? payload : 0;
}
#endif

TEST_F(MachineCodeTest, ClickHandlersCarryTheFillerAroundTheirBodies) {
  const uint32_t send = Address("LinkClientSend");
  const uint32_t append = Address("AppendToLog");
  const uint32_t link_client = Address("link_client");
  ASSERT_NE(send, 0u);
  ASSERT_NE(append, 0u);
  ASSERT_NE(link_client, 0u);

  // Body: a single call of the routine named, or a send-and-log of the payload given.
  const struct {
    const char* handler;
    const char* calls;
    Bytes payload;
  } handlers[] = {
      {"NormalAttack", nullptr, {0xC6, 0xD5, 0xB9, 0xA5}},
      {"OnButton2Click", "Magic", {}},
      {"OnButton3Click", "GroupAttack", {}},
      {"Death", nullptr, Le32(Address("DeathRoutine"))},
  };
  for (const auto& h : handlers) {
    SCOPED_TRACE(h.handler);
    uint32_t start = 0;
    const Bytes code = Routine(h.handler, &start);
    const size_t body_size = h.calls != nullptr ? 5 : kSendAndLogSize;
    const size_t size = kEnter.size() + 2 * kFiller.size() + kAlign.size() + body_size + kLeave.size();
    ASSERT_GE(code.size(), size);
    const uint32_t body_at = start + static_cast<uint32_t>(kEnter.size() + kFiller.size() + kAlign.size());
    const Bytes body(code.begin() + (body_at - start), code.begin() + (body_at - start) + body_size);
    EXPECT_EQ(Bytes(code.begin(), code.begin() + size),
              Concat({kEnter, kFiller, kAlign, body, kFiller, kLeave}));
    if (h.calls != nullptr) {
      EXPECT_EQ(body, Rel32Call(body_at, Address(h.calls)));
    } else {
      const uint32_t payload = SendAndLogPayload(body, body_at, send, append, link_client);
      ASSERT_NE(payload, 0u) << "not a send-and-log";
      EXPECT_EQ(image_->At(payload, static_cast<uint32_t>(h.payload.size())), h.payload);
    }
  }
}

TEST_F(MachineCodeTest, NoOtherRoutineHoldsTheFiller) {
  const std::vector<uint32_t> runs = image_->Runs(kFiller[0], kFiller.size());
  std::vector<std::string> owners;
  for (uint32_t run : runs) {
    std::string owner = "(none)";
    for (const kvtest::MapSymbol& s : *symbols_) {
      if (s.address <= run) owner = s.name;
    }
    owners.push_back(owner);
  }
  EXPECT_EQ(owners, (std::vector<std::string>{"NormalAttack", "NormalAttack", "OnButton2Click",
                                              "OnButton2Click", "OnButton3Click", "OnButton3Click",
                                              "Death", "Death"}));
}

TEST_F(MachineCodeTest, EachRoutineOfAChainCallsTheNext) {
  // Caller, callee: every step is a call, never a jump that would drop the
  // caller from the stack.
  const std::pair<const char*, const char*> chain[] = {
      {"Magic", "LinkClientSend"},         {"Magic", "AppendToLog"},
      {"GroupAttack", "GroupAttackSend"},  {"GroupAttackSend", "LinkClientSend"},
      {"GroupAttackSend", "AppendToLog"},  {"DeathRoutine", "GroupAttack"},
  };
  for (const auto& [caller, callee] : chain) {
    EXPECT_TRUE(Calls(caller, callee)) << caller << " -> " << callee;
    EXPECT_FALSE(JumpsTo(caller, callee)) << caller << " -> " << callee;
  }
  for (const char* routine : {"Magic", "GroupAttack", "GroupAttackSend", "DeathRoutine"}) {
    EXPECT_FALSE(Calls(routine, "NormalAttack") || Calls(routine, "Death")) << routine;
  }
}

// Where in a routine's bytes (starting at `start`) its call of `target`
// starts; the routine's size if it has none.
size_t CallAt(const Bytes& code, uint32_t start, uint32_t target) {
  size_t at = 0;
  while (at + 5 <= code.size() &&
         Bytes(code.begin() + at, code.begin() + at + 5) != Rel32Call(start + static_cast<uint32_t>(at), target)) {
    ++at;
  }
  return at + 5 <= code.size() ? at : code.size();
}

#ifdef _WIN64
TEST_F(MachineCodeTest, GroupAttackPassesSixAndSevenInEcxAndEdxAndTheCalleeComparesTheRegisters) {
  uint32_t start = 0;
  const Bytes caller = Routine("GroupAttack", &start);
  const std::string code(caller.begin(), caller.end());
  // mov edx, 7 and mov ecx, 6 before the call, after reserving the shadow
  // space (sub rsp, 32); nothing is pushed.
  const size_t shadow = code.find("\x48\x83\xEC\x20");
  const size_t call = CallAt(caller, start, Address("GroupAttackSend"));
  ASSERT_NE(shadow, std::string::npos);
  ASSERT_LT(call, caller.size()) << "no call of GroupAttackSend";
  for (const char* push : {"\x6A\x06", "\x6A\x07"}) EXPECT_EQ(code.find(push), std::string::npos);
  for (const std::string& mov : {std::string("\xBA\x07\x00\x00\x00", 5), std::string("\xB9\x06\x00\x00\x00", 5)}) {
    const size_t at = code.find(mov);
    ASSERT_NE(at, std::string::npos);
    EXPECT_GT(at, shadow);
    EXPECT_LT(at, call);
  }

  uint32_t callee_at = 0;
  const Bytes callee = Routine("GroupAttackSend", &callee_at);
  const std::string compare(callee.begin(), callee.end());
  const size_t send_call = CallAt(callee, callee_at, Address("LinkClientSend"));
  ASSERT_LT(send_call, callee.size()) << "no call of the send";
  // cmp ecx, 6 and cmp edx, 7: the arguments, compared in the registers they came in.
  for (const std::string& cmp : {std::string("\x83\xF9\x06"), std::string("\x83\xFA\x07")}) {
    const size_t at = compare.find(cmp);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(callee[at + 3], 0x75) << "a jne after the compare";
    EXPECT_GT(at + 5 + static_cast<int8_t>(callee[at + 4]), send_call) << "the jne skips the send";
  }
}
#else
TEST_F(MachineCodeTest, GroupAttackPassesSixAndSevenOnTheStackAndTheCalleeComparesThem) {
  uint32_t start = 0;
  const Bytes caller = Routine("GroupAttack", &start);
  const std::string code(caller.begin(), caller.end());
  // mov dword [esp+4], 7 and mov dword [esp], 6 (or pushes of 7 then 6).
  const bool stored = code.find("\xC7\x44\x24\x04\x07\x00\x00\x00") != std::string::npos &&
                      code.find(std::string("\xC7\x04\x24\x06\x00\x00\x00", 7)) != std::string::npos;
  const bool pushed = code.find("\x6A\x07\x6A\x06") != std::string::npos;
  EXPECT_TRUE(stored || pushed);
  uint32_t callee_at = 0;
  const Bytes callee = Routine("GroupAttackSend", &callee_at);
  const std::string compare(callee.begin(), callee.end());
  // Each compare is followed by a jne (75 rel8) that lands beyond the send.
  const size_t send_call = CallAt(callee, callee_at, Address("LinkClientSend"));
  ASSERT_LT(send_call, callee.size()) << "no call of the send";
  // cmp dword [ebp+8], 6 and cmp dword [ebp+12], 7: the arguments, read from the stack.
  for (const std::string& cmp : {std::string("\x83\x7D\x08\x06"), std::string("\x83\x7D\x0C\x07")}) {
    const size_t at = compare.find(cmp);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(callee[at + 4], 0x75) << "a jne after the compare";
    EXPECT_GT(at + 6 + static_cast<int8_t>(callee[at + 5]), send_call) << "the jne skips the send";
  }
}
#endif

TEST_F(MachineCodeTest, ThePracticeRoutinesSetTheirFramesUpTheClassicWay) {
  // push ebp; mov ebp, esp (push rbp; mov rbp, rsp): a walk along the saved
  // frame pointers passes through every routine of the chains.
  for (const char* routine : {"Magic", "GroupAttack", "GroupAttackSend", "DeathRoutine"}) {
    const Bytes code = Routine(routine);
    ASSERT_GE(code.size(), kEnter.size()) << routine;
    EXPECT_EQ(Bytes(code.begin(), code.begin() + kEnter.size()), kEnter) << routine;
  }
#ifdef _WIN64
  // The link code sets rbp below the registers it saves, as the unwind rules
  // of 64-bit Windows want it: from there a walk by rbp goes astray.
  const Bytes link = Routine("LinkClientSend");
  ASSERT_GE(link.size(), kEnter.size());
  EXPECT_NE(Bytes(link.begin(), link.begin() + kEnter.size()), kEnter);
#endif
}

TEST_F(MachineCodeTest, SendCallsThePlatformSendDirectly) {
  const uint32_t slot = image_->ImportSlot("WS2_32.dll", "send");
  ASSERT_NE(slot, 0u);
  uint32_t start = 0;
  const Bytes code = Routine("LinkClientSend", &start);
#ifdef _WIN64
  // call [rip+slot], or the slot loaded into a register (mov reg, [rip+slot])
  // and a call of that register: either way send returns into this routine.
  bool found = false;
  for (size_t i = 0; i + 7 <= code.size() && !found; ++i) {
    const uint32_t at = start + static_cast<uint32_t>(i);
    if (code[i] == 0xFF && code[i + 1] == 0x15 && at + 6 + Image::U32(code, i + 2) == slot) found = true;
    const bool load = (code[i] & 0xFB) == 0x48 && code[i + 1] == 0x8B && (code[i + 2] & 0xC7) == 0x05 &&
                      at + 7 + Image::U32(code, i + 3) == slot;
    if (!load) continue;
    const int reg = ((code[i + 2] >> 3) & 7) | (code[i] & 0x04 ? 8 : 0);
    const Bytes call = reg < 8 ? Bytes{0xFF, static_cast<uint8_t>(0xD0 + reg)}
                               : Bytes{0x41, 0xFF, static_cast<uint8_t>(0xD0 + reg - 8)};
    found = std::search(code.begin() + i + 7, code.end(), call.begin(), call.end()) != code.end();
  }
  EXPECT_TRUE(found);
#else
  const Bytes call = Concat({{0xFF, 0x15}, Le32(slot)});  // call [__imp_send]
  EXPECT_NE(std::search(code.begin(), code.end(), call.begin(), call.end()), code.end());
#endif
}

TEST_F(MachineCodeTest, TheImageHasAFixedBaseBelow4GiBAndNoRelocations) {
  // DeathRoutine's address is the 4-byte Death payload: it must fit, and it
  // must be the address the map names in every run.
  EXPECT_EQ(image_->high_base(), 0u);
  EXPECT_EQ(image_->base(), 0x400000u);
  EXPECT_FALSE(image_->dynamic_base());
  EXPECT_EQ(image_->relocations_size(), 0u);
}

}  // namespace
