// Helpers of the bench driver: a clock, statistics, timed starts of window
// programs, the shared port, peers and the log box read from outside.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/pump.h"

namespace kvbench {

// Milliseconds on the performance counter.
double NowMs();

double Median(std::vector<double> values);
// Nearest rank: the smallest value with at least `percent` of them at or below.
double Percentile(std::vector<double> values, double percent);

// A window program started for timing, closed (or ended) on destruction.
class TimedProgram {
 public:
  TimedProgram() = default;
  ~TimedProgram();
  TimedProgram(const TimedProgram&) = delete;
  TimedProgram& operator=(const TimedProgram&) = delete;

  // Starts `exe` and waits up to `timeout_ms` until a visible top-level window
  // of the given class and caption belongs to it. Returns the milliseconds from
  // just before process creation to the first look that found it, or a
  // negative value on failure.
  double StartAndTime(const std::wstring& exe, const wchar_t* window_class,
                      const wchar_t* caption, int timeout_ms = 20000);
  HWND window() const { return window_; }
  HANDLE process() const { return process_.hProcess; }
  // Asks the window to close, then ends the process if it is still there.
  void Close();

 private:
  PROCESS_INFORMATION process_ = {};
  HWND window_ = nullptr;
};

// Closes a window's process politely, ending it after `timeout_ms`.
void CloseProcess(HWND window, HANDLE process, int timeout_ms = 3000);

// A file beside the driver's own executable.
std::wstring BesideDriver(const wchar_t* name);

// Waits until nothing listens on `port` (another copy of the program, perhaps
// another engineer's, would take the peers' bytes). False after `timeout_ms`.
bool WaitForFreePort(int port, int timeout_ms);

// A peer connected to the program's port with Nagle's delay off, so every
// small send leaves at once.
bool ConnectPeer(kvtest::RawSocket* peer, int port);

// The edit control's length in characters, or -1. The edit keeps its length,
// so this stays cheap however long the log grows.
long LogLength(HWND box, int timeout_ms = 10000);
// The whole text. Wine carries a long reply across processes in one piece.
std::optional<std::wstring> ReadLog(HWND box, int timeout_ms = 60000);

// Upper-case hex of bytes, as the program logs them.
std::wstring Hex(const uint8_t* bytes, size_t count);

// A deterministic byte stream with every byte below 0x80, so it never holds
// the bytes of the program's own payloads (C6 D5 B9 A5 ...).
std::vector<uint8_t> StreamBytes(size_t count, uint32_t seed);

// Working set and peak working set of a process in bytes (0 when unknown).
struct Memory {
  size_t working_set = 0;
  size_t peak_working_set = 0;
};
Memory ProcessMemory(HANDLE process);

}  // namespace kvbench
