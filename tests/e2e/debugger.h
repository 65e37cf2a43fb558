// A learner's debugger, reduced to what the course asks of one: attach to a
// running process, break on a code address, read its registers and memory,
// walk its stack, and detach leaving it running. It debugs programs of its
// own width: the 32-bit tests the 32-bit builds, the 64-bit ones kestravo64.
// Addresses are 64 bits wide in both: a 64-bit process's system DLLs lie
// above 4 GiB.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kvtest {

// A module loaded in another process: where it sits and how large its image is.
struct RemoteModule {
  uint64_t base = 0;
  uint32_t size = 0;
};
// Finds a module of `process` by its file name (case-insensitive), e.g. "ws2_32.dll".
RemoteModule FindRemoteModule(HANDLE process, const std::wstring& file_name);
// The address in `process` of an export of a system DLL, found the way a
// debugger resolves "ws2_32.send": the export's offset in the DLL applied to
// the DLL's base in that process.
uint64_t RemoteExport(HANDLE process, const wchar_t* dll, const char* function);

bool ReadRemote(HANDLE process, uint64_t address, void* out, size_t size);
uint32_t ReadRemote32(HANDLE process, uint64_t address);  // 0 when unreadable
// A pointer-sized value (4 or 8 bytes, the width of the debugged program).
uint64_t ReadRemotePointer(HANDLE process, uint64_t address);
bool WriteRemote(HANDLE process, uint64_t address, const void* bytes, size_t size);

constexpr uint32_t kPointerSize = sizeof(void*);

// One frame of a walk: a return address and the frame pointer of the routine
// that the return address lies in.
struct Frame {
  uint64_t return_address;
  uint64_t frame_pointer;
};

class Debugger {
 public:
  ~Debugger();  // detaches if still attached

  bool Attach(DWORD process_id, HANDLE process);
  // Removes every breakpoint and lets the process run on without a debugger.
  bool Detach();

  bool SetBreakpoint(uint64_t address);
  bool ClearBreakpoint(uint64_t address);

  // Runs the process until one of the breakpoints set is hit, handling every
  // other debug event on the way. false when none was hit within `timeout_ms`
  // or the process ended. On a hit the process stays stopped; the thread's
  // registers are in `context()`, with Eip (Rip) already at the breakpoint.
  bool RunToBreakpoint(int timeout_ms);
  const CONTEXT& context() const { return context_; }
  // esp and ebp, or rsp and rbp, at the stop.
  uint64_t StackPointer() const;
  uint64_t FramePointer() const;
  // Lets the process run, handling its debug events, until `done` holds;
  // false on a timeout, a breakpoint hit or the end of the process.
  bool RunUntil(const std::function<bool()>& done, int timeout_ms);
  uint64_t hit() const { return hit_; }

  // The stack at a stop on a routine's first instruction, walked as a
  // debugger without symbols does: first the return address on top of the
  // stack. Then, in 32-bit code, up the chain of saved frame pointers; in
  // 64-bit code by each routine's unwind data (the image's exception table),
  // since there the frame pointer may lie below a routine's saved registers.
  std::vector<Frame> WalkStack(size_t max_frames = 32) const;

 private:
  enum class Event { kNone, kOther, kHit, kEnd };
  // Takes the next debug event, waiting up to `wait_ms`, and handles it; a
  // hit leaves the process stopped, anything else lets it go on.
  Event TakeEvent(DWORD wait_ms);
  bool ContinueLast();

  HANDLE process_ = nullptr;
  DWORD process_id_ = 0;
  bool attached_ = false;
  bool stopped_ = false;  // a debug event waits for ContinueDebugEvent
  DEBUG_EVENT last_ = {};
  CONTEXT context_ = {};
  uint64_t hit_ = 0;
  struct Breakpoint {
    uint64_t address;
    uint8_t original;
  };
  std::vector<Breakpoint> breakpoints_;
};

}  // namespace kvtest
