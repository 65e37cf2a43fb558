#include "bench/bench_support.h"

#include <psapi.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cmath>

namespace kvbench {

double NowMs() {
  static const double ticks_per_ms = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / ticks_per_ms;
}

double Median(std::vector<double> values) {
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Percentile(std::vector<double> values, double percent) {
  if (values.empty()) return NAN;
  std::sort(values.begin(), values.end());
  size_t rank = static_cast<size_t>(std::ceil(percent / 100.0 * values.size()));
  rank = std::clamp<size_t>(rank, 1, values.size());
  return values[rank - 1];
}

TimedProgram::~TimedProgram() { Close(); }

double TimedProgram::StartAndTime(const std::wstring& exe, const wchar_t* window_class,
                                  const wchar_t* caption, int timeout_ms) {
  Close();
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  std::wstring command = L"\"" + exe + L"\"";
  const double start = NowMs();
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process_)) {
    process_ = {};
    return -1;
  }
  // Looks every millisecond or so: fine against start-ups of hundreds of
  // milliseconds, and a sleeping driver leaves both cores to the start.
  while (NowMs() - start < timeout_ms) {
    HWND at = nullptr;
    while ((at = FindWindowExW(nullptr, at, window_class, caption)) != nullptr) {
      DWORD pid = 0;
      GetWindowThreadProcessId(at, &pid);
      if (pid == process_.dwProcessId && IsWindowVisible(at)) {
        window_ = at;
        return NowMs() - start;
      }
    }
    if (WaitForSingleObject(process_.hProcess, 1) == WAIT_OBJECT_0) return -1;
  }
  return -1;
}

void TimedProgram::Close() {
  if (process_.hProcess == nullptr) return;
  CloseProcess(window_, process_.hProcess);
  CloseHandle(process_.hProcess);
  CloseHandle(process_.hThread);
  process_ = {};
  window_ = nullptr;
}

void CloseProcess(HWND window, HANDLE process, int timeout_ms) {
  if (WaitForSingleObject(process, 0) != WAIT_TIMEOUT) return;
  // A polite close lets the program close its own sockets in order.
  if (window != nullptr) PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process, timeout_ms) == WAIT_TIMEOUT) {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
  }
}

std::wstring BesideDriver(const wchar_t* name) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir = path;
  const size_t slash = dir.find_last_of(L"\\/");
  dir = slash == std::wstring::npos ? L"" : dir.substr(0, slash + 1);
  return dir + name;
}

bool WaitForFreePort(int port, int timeout_ms) {
  const double start = NowMs();
  for (;;) {
    {
      kvtest::RawSocket probe;
      if (probe.Listen(port)) return true;
    }
    if (NowMs() - start > timeout_ms) return false;
    Sleep(1000);
  }
}

bool ConnectPeer(kvtest::RawSocket* peer, int port) {
  if (!peer->Connect(port)) return false;
  const BOOL on = TRUE;
  setsockopt(peer->handle(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
             sizeof on);
  return true;
}

long LogLength(HWND box, int timeout_ms) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(box, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, timeout_ms, &length)) {
    return -1;
  }
  return static_cast<long>(length);
}

std::optional<std::wstring> ReadLog(HWND box, int timeout_ms) {
  const long length = LogLength(box, timeout_ms);
  if (length < 0) return std::nullopt;
  // Room for what arrives between the two messages; the copy is what counts.
  std::wstring text(static_cast<size_t>(length) + 65536, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(box, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                           SMTO_NORMAL, timeout_ms, &copied)) {
    return std::nullopt;
  }
  text.resize(copied);
  return text;
}

std::wstring Hex(const uint8_t* bytes, size_t count) {
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring out(count * 2, L'0');
  for (size_t i = 0; i < count; ++i) {
    out[2 * i] = kDigits[bytes[i] >> 4];
    out[2 * i + 1] = kDigits[bytes[i] & 15];
  }
  return out;
}

std::vector<uint8_t> StreamBytes(size_t count, uint32_t seed) {
  std::vector<uint8_t> bytes(count);
  uint32_t state = seed != 0 ? seed : 1;
  for (uint8_t& byte : bytes) {
    state ^= state << 13;  // xorshift32: no period within any size used here
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<uint8_t>(state & 0x7F);
  }
  return bytes;
}

Memory ProcessMemory(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  Memory memory;
  if (GetProcessMemoryInfo(process, &counters, sizeof counters)) {
    memory.working_set = counters.WorkingSetSize;
    memory.peak_working_set = counters.PeakWorkingSetSize;
  }
  return memory;
}

}  // namespace kvbench
