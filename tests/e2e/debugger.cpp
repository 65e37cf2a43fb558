#include "tests/e2e/debugger.h"

#include <psapi.h>

#include <algorithm>

namespace kvtest {

namespace {
#ifdef _WIN64
DWORD64& InstructionPointer(CONTEXT& context) { return context.Rip; }
#else
DWORD& InstructionPointer(CONTEXT& context) { return context.Eip; }
#endif
}  // namespace

RemoteModule FindRemoteModule(HANDLE process, const std::wstring& file_name) {
  HMODULE modules[512];
  DWORD needed = 0;
  if (!EnumProcessModules(process, modules, sizeof modules, &needed)) return {};
  const DWORD count = std::min<DWORD>(needed / sizeof(HMODULE), 512);
  for (DWORD i = 0; i < count; ++i) {
    wchar_t name[MAX_PATH] = {};
    if (GetModuleBaseNameW(process, modules[i], name, MAX_PATH) == 0) continue;
    if (lstrcmpiW(name, file_name.c_str()) != 0) continue;
    MODULEINFO info = {};
    if (!GetModuleInformation(process, modules[i], &info, sizeof info)) return {};
    return {static_cast<uint64_t>(reinterpret_cast<uintptr_t>(info.lpBaseOfDll)),
            static_cast<uint32_t>(info.SizeOfImage)};
  }
  return {};
}

uint64_t RemoteExport(HANDLE process, const wchar_t* dll, const char* function) {
  HMODULE here = LoadLibraryW(dll);
  if (here == nullptr) return 0;
  const auto at = reinterpret_cast<uintptr_t>(reinterpret_cast<void*>(GetProcAddress(here, function)));
  const RemoteModule there = FindRemoteModule(process, dll);
  if (at == 0 || there.base == 0) return 0;
  return there.base + (at - reinterpret_cast<uintptr_t>(here));
}

bool ReadRemote(HANDLE process, uint64_t address, void* out, size_t size) {
  SIZE_T read = 0;
  return ReadProcessMemory(process, reinterpret_cast<LPCVOID>(static_cast<uintptr_t>(address)), out,
                           size, &read) &&
         read == size;
}

uint32_t ReadRemote32(HANDLE process, uint64_t address) {
  uint32_t value = 0;
  return ReadRemote(process, address, &value, sizeof value) ? value : 0;
}

uint64_t ReadRemotePointer(HANDLE process, uint64_t address) {
  uintptr_t value = 0;
  return ReadRemote(process, address, &value, sizeof value) ? value : 0;
}

bool WriteRemote(HANDLE process, uint64_t address, const void* bytes, size_t size) {
  void* at = reinterpret_cast<void*>(static_cast<uintptr_t>(address));
  // Code and constants are read-only: open the page for the write, as a
  // debugger or memory editor does, and close it again.
  DWORD old = 0;
  if (!VirtualProtectEx(process, at, size, PAGE_EXECUTE_READWRITE, &old)) return false;
  SIZE_T written = 0;
  const bool ok = WriteProcessMemory(process, at, bytes, size, &written) && written == size;
  VirtualProtectEx(process, at, size, old, &old);
  FlushInstructionCache(process, at, size);
  return ok;
}

Debugger::~Debugger() {
  if (attached_) Detach();
}

bool Debugger::Attach(DWORD process_id, HANDLE process) {
  if (!DebugActiveProcess(process_id)) return false;
  DebugSetProcessKillOnExit(FALSE);
  process_ = process;
  process_id_ = process_id;
  attached_ = true;
  // Take the events that describe the process, up to the break-in that
  // attaching causes; the process then runs on.
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 5000) {
    if (!WaitForDebugEvent(&last_, 100)) continue;
    stopped_ = true;
    const bool break_in = last_.dwDebugEventCode == EXCEPTION_DEBUG_EVENT &&
                          last_.u.Exception.ExceptionRecord.ExceptionCode == EXCEPTION_BREAKPOINT;
    if (last_.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT && last_.u.CreateProcessInfo.hFile) {
      CloseHandle(last_.u.CreateProcessInfo.hFile);
    } else if (last_.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT && last_.u.LoadDll.hFile) {
      CloseHandle(last_.u.LoadDll.hFile);
    }
    ContinueLast();
    if (break_in) break;
  }
  return true;
}

bool Debugger::ContinueLast() {
  if (!stopped_) return true;
  stopped_ = false;
  DWORD status = DBG_CONTINUE;
  if (last_.dwDebugEventCode == EXCEPTION_DEBUG_EVENT) {
    const DWORD code = last_.u.Exception.ExceptionRecord.ExceptionCode;
    // The program's own exceptions go back to it, as under any debugger.
    if (code != EXCEPTION_BREAKPOINT && code != EXCEPTION_SINGLE_STEP) {
      status = DBG_EXCEPTION_NOT_HANDLED;
    }
  }
  return ContinueDebugEvent(last_.dwProcessId, last_.dwThreadId, status) != FALSE;
}

bool Debugger::SetBreakpoint(uint64_t address) {
  uint8_t original = 0;
  if (!ReadRemote(process_, address, &original, 1)) return false;
  const uint8_t int3 = 0xCC;
  if (!WriteRemote(process_, address, &int3, 1)) return false;
  breakpoints_.push_back({address, original});
  return true;
}

bool Debugger::ClearBreakpoint(uint64_t address) {
  for (auto it = breakpoints_.begin(); it != breakpoints_.end(); ++it) {
    if (it->address != address) continue;
    const bool ok = WriteRemote(process_, address, &it->original, 1);
    breakpoints_.erase(it);
    return ok;
  }
  return false;
}

Debugger::Event Debugger::TakeEvent(DWORD wait_ms) {
  if (!WaitForDebugEvent(&last_, wait_ms)) return Event::kNone;
  stopped_ = true;
  switch (last_.dwDebugEventCode) {
    case CREATE_PROCESS_DEBUG_EVENT:
      if (last_.u.CreateProcessInfo.hFile) CloseHandle(last_.u.CreateProcessInfo.hFile);
      break;
    case LOAD_DLL_DEBUG_EVENT:
      if (last_.u.LoadDll.hFile) CloseHandle(last_.u.LoadDll.hFile);
      break;
    case EXIT_PROCESS_DEBUG_EVENT:
      ContinueLast();
      attached_ = false;
      return Event::kEnd;
    case EXCEPTION_DEBUG_EVENT: {
      const EXCEPTION_RECORD& record = last_.u.Exception.ExceptionRecord;
      const auto at = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(record.ExceptionAddress));
      bool ours = false;
      for (const Breakpoint& b : breakpoints_) ours = ours || b.address == at;
      if (record.ExceptionCode != EXCEPTION_BREAKPOINT || !ours) break;
      HANDLE thread = OpenThread(THREAD_GET_CONTEXT | THREAD_SET_CONTEXT, FALSE, last_.dwThreadId);
      if (thread == nullptr) return Event::kEnd;
      context_ = {};
      context_.ContextFlags = CONTEXT_FULL;
      bool ok = GetThreadContext(thread, &context_) != FALSE;
      // A hit breakpoint is spent: its byte goes back, and the thread
      // resumes at the instruction it stands for.
      ok = ClearBreakpoint(at) && ok;
      if (ok && InstructionPointer(context_) == at + 1) {
        InstructionPointer(context_) = static_cast<uintptr_t>(at);
        ok = SetThreadContext(thread, &context_) != FALSE;
      }
      CloseHandle(thread);
      hit_ = at;
      return ok && InstructionPointer(context_) == at ? Event::kHit : Event::kEnd;
    }
    default:
      break;
  }
  ContinueLast();
  return Event::kOther;
}

bool Debugger::RunToBreakpoint(int timeout_ms) {
  if (!attached_ || !ContinueLast()) return false;
  const DWORD start = GetTickCount();
  for (DWORD elapsed; (elapsed = GetTickCount() - start) < static_cast<DWORD>(timeout_ms);) {
    switch (TakeEvent(timeout_ms - elapsed)) {
      case Event::kHit:
        return true;
      case Event::kEnd:
        return false;
      default:
        break;
    }
  }
  return false;
}

bool Debugger::RunUntil(const std::function<bool()>& done, int timeout_ms) {
  if (!attached_ || !ContinueLast()) return false;
  const DWORD start = GetTickCount();
  for (;;) {
    // Events first: `done` may ask the process something, which a process
    // stopped on an untaken event could not answer.
    Event event;
    while ((event = TakeEvent(0)) == Event::kOther) {
    }
    if (event != Event::kNone) return false;
    if (done()) return true;
    if (GetTickCount() - start >= static_cast<DWORD>(timeout_ms)) return false;
    event = TakeEvent(20);
    if (event == Event::kHit || event == Event::kEnd) return false;
  }
}

uint64_t Debugger::StackPointer() const {
#ifdef _WIN64
  return context_.Rsp;
#else
  return context_.Esp;
#endif
}

uint64_t Debugger::FramePointer() const {
#ifdef _WIN64
  return context_.Rbp;
#else
  return context_.Ebp;
#endif
}

#ifndef _WIN64
std::vector<Frame> Debugger::WalkStack(size_t max_frames) const {
  std::vector<Frame> frames;
  uint64_t frame_pointer = context_.Ebp;
  frames.push_back({ReadRemote32(process_, context_.Esp), frame_pointer});
  while (frames.size() < max_frames && frame_pointer != 0) {
    const uint64_t next = ReadRemote32(process_, frame_pointer);
    const uint64_t return_address = ReadRemote32(process_, frame_pointer + 4);
    if (return_address == 0) break;
    frames.push_back({return_address, next});
    if (next <= frame_pointer) break;  // the chain ends or leaves the stack
    frame_pointer = next;
  }
  return frames;
}
#else
namespace {

// The unwind data of x86-64 code: for each routine of an image, an entry of
// its exception table (begin, end, unwind info; addresses from the image's
// base) that says what the routine's prologue did to the stack.
struct Unwinder {
  HANDLE process;
  uint64_t registers[16];  // rax, rcx, rdx, rbx, rsp, rbp, rsi, rdi, r8..r15
  uint64_t& rsp() { return registers[4]; }

  // The exception-table entry of the routine holding `pc`; false when `pc`
  // lies in no image or in a routine without one (a leaf).
  bool FindEntry(uint64_t pc, uint64_t* base, uint32_t entry[3]) {
    MEMORY_BASIC_INFORMATION region = {};
    if (VirtualQueryEx(process, reinterpret_cast<void*>(pc), &region, sizeof region) == 0 ||
        region.Type != MEM_IMAGE) {
      return false;
    }
    *base = reinterpret_cast<uintptr_t>(region.AllocationBase);
    const uint32_t pe = ReadRemote32(process, *base + 0x3C);
    const uint64_t directory = *base + pe + 24 + 112 + 3 * 8;  // PE32+: the exception table
    const uint32_t table = ReadRemote32(process, directory);
    const uint32_t count = ReadRemote32(process, directory + 4) / 12;
    const uint64_t rva = pc - *base;
    uint32_t low = 0, high = count;
    while (low < high) {
      const uint32_t mid = (low + high) / 2;
      if (!ReadRemote(process, *base + table + 12ull * mid, entry, 12)) return false;
      if (rva < entry[0]) {
        high = mid;
      } else if (rva >= entry[1]) {
        low = mid + 1;
      } else {
        return true;
      }
    }
    return false;
  }

  // Undoes the prologue of the routine holding `pc` and returns from it:
  // afterwards the registers are the caller's, and `pc` the return address.
  bool Unwind(uint64_t* pc) {
    uint64_t base = 0;
    uint32_t entry[3];
    if (FindEntry(*pc, &base, entry)) {
      uint64_t offset = *pc - (base + entry[0]);
      for (int chained = 0; chained < 8; ++chained) {
        uint8_t head[4];
        if (!ReadRemote(process, base + entry[2], head, 4)) return false;
        const uint8_t flags = head[0] >> 3, prologue = head[1], count = head[2];
        const uint8_t frame_register = head[3] & 15, frame_offset = head[3] >> 4;
        std::vector<uint16_t> codes(count + 3u);
        if (count > 0 && !ReadRemote(process, base + entry[2] + 4, codes.data(), 2u * count + 6)) {
          return false;
        }
        uint64_t frame = rsp();
        if (frame_register != 0) {
          if (offset >= prologue) frame = registers[frame_register] - 16u * frame_offset;
        }
        for (size_t i = 0; i < count;) {
          const uint8_t at = codes[i] & 0xFF, op = (codes[i] >> 8) & 15, info = codes[i] >> 12;
          const bool done = at <= offset;  // the prologue ran this instruction
          size_t slots = 1;
          switch (op) {
            case 0:  // push of a register
              if (done) {
                registers[info] = ReadRemotePointer(process, rsp());
                rsp() += 8;
              }
              break;
            case 1:  // large allocation
              slots = info == 0 ? 2 : 3;
              if (done) rsp() += info == 0 ? codes[i + 1] * 8u : codes[i + 1] | uint32_t{codes[i + 2]} << 16;
              break;
            case 2:  // small allocation
              if (done) rsp() += info * 8u + 8;
              break;
            case 3:  // the frame register set
              if (done) rsp() = registers[frame_register] - 16u * frame_offset;
              break;
            case 4:  // a register saved by mov
              slots = 2;
              if (done) registers[info] = ReadRemotePointer(process, frame + codes[i + 1] * 8u);
              break;
            case 5:
              slots = 3;
              if (done) {
                registers[info] =
                    ReadRemotePointer(process, frame + (codes[i + 1] | uint32_t{codes[i + 2]} << 16));
              }
              break;
            case 8:  // an xmm register saved: nothing this walk needs
              slots = 2;
              break;
            case 9:
              slots = 3;
              break;
            default:  // a machine frame or an unknown code: not a routine of this kind
              return false;
          }
          i += slots;
        }
        if ((flags & 4) == 0) break;  // no chained entry follows
        if (!ReadRemote(process, base + entry[2] + 4 + 2u * ((count + 1u) & ~1u), entry, 12)) {
          return false;
        }
        offset = ~uint64_t{0};  // a chained entry's prologue has run in full
      }
    }
    *pc = ReadRemotePointer(process, rsp());
    rsp() += 8;
    return *pc != 0;
  }
};

}  // namespace

std::vector<Frame> Debugger::WalkStack(size_t max_frames) const {
  Unwinder unwinder = {process_, {context_.Rax, context_.Rcx, context_.Rdx, context_.Rbx,
                                  context_.Rsp, context_.Rbp, context_.Rsi, context_.Rdi,
                                  context_.R8, context_.R9, context_.R10, context_.R11,
                                  context_.R12, context_.R13, context_.R14, context_.R15}};
  // At a routine's first instruction nothing is on the stack above the
  // return address.
  uint64_t pc = ReadRemotePointer(process_, context_.Rsp);
  unwinder.rsp() += 8;
  std::vector<Frame> frames;
  while (pc != 0 && frames.size() < max_frames) {
    frames.push_back({pc, unwinder.registers[5]});
    const uint64_t below = unwinder.rsp();
    if (!unwinder.Unwind(&pc) || unwinder.rsp() <= below) break;
  }
  return frames;
}
#endif

bool Debugger::Detach() {
  if (!attached_) return true;
  bool ok = true;
  while (!breakpoints_.empty()) ok = ClearBreakpoint(breakpoints_.back().address) && ok;
  ok = ContinueLast() && ok;
  ok = DebugActiveProcessStop(process_id_) != FALSE && ok;
  attached_ = false;
  return ok;
}

}  // namespace kvtest
