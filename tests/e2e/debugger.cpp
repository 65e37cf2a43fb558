#include "tests/e2e/debugger.h"

#include <psapi.h>

#include <algorithm>

namespace kvtest {

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
    return {static_cast<uint32_t>(reinterpret_cast<uintptr_t>(info.lpBaseOfDll)),
            static_cast<uint32_t>(info.SizeOfImage)};
  }
  return {};
}

uint32_t RemoteExport(HANDLE process, const wchar_t* dll, const char* function) {
  HMODULE here = LoadLibraryW(dll);
  if (here == nullptr) return 0;
  const auto at = reinterpret_cast<uintptr_t>(reinterpret_cast<void*>(GetProcAddress(here, function)));
  const RemoteModule there = FindRemoteModule(process, dll);
  if (at == 0 || there.base == 0) return 0;
  return there.base + static_cast<uint32_t>(at - reinterpret_cast<uintptr_t>(here));
}

bool ReadRemote(HANDLE process, uint32_t address, void* out, size_t size) {
  SIZE_T read = 0;
  return ReadProcessMemory(process, reinterpret_cast<LPCVOID>(static_cast<uintptr_t>(address)), out,
                           size, &read) &&
         read == size;
}

uint32_t ReadRemote32(HANDLE process, uint32_t address) {
  uint32_t value = 0;
  return ReadRemote(process, address, &value, sizeof value) ? value : 0;
}

bool WriteRemote(HANDLE process, uint32_t address, const void* bytes, size_t size) {
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

bool Debugger::SetBreakpoint(uint32_t address) {
  uint8_t original = 0;
  if (!ReadRemote(process_, address, &original, 1)) return false;
  const uint8_t int3 = 0xCC;
  if (!WriteRemote(process_, address, &int3, 1)) return false;
  breakpoints_.push_back({address, original});
  return true;
}

bool Debugger::ClearBreakpoint(uint32_t address) {
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
      const auto at = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(record.ExceptionAddress));
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
      if (ok && context_.Eip == at + 1) {
        context_.Eip = at;
        ok = SetThreadContext(thread, &context_) != FALSE;
      }
      CloseHandle(thread);
      hit_ = at;
      return ok && context_.Eip == at ? Event::kHit : Event::kEnd;
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

std::vector<Frame> Debugger::WalkStack(size_t max_frames) const {
  std::vector<Frame> frames;
  uint32_t frame_pointer = context_.Ebp;
  frames.push_back({ReadRemote32(process_, context_.Esp), frame_pointer});
  while (frames.size() < max_frames && frame_pointer != 0) {
    const uint32_t next = ReadRemote32(process_, frame_pointer);
    const uint32_t return_address = ReadRemote32(process_, frame_pointer + 4);
    if (return_address == 0) break;
    frames.push_back({return_address, next});
    if (next <= frame_pointer) break;  // the chain ends or leaves the stack
    frame_pointer = next;
  }
  return frames;
}

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
