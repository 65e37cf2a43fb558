#include "tests/check/checker_run.h"

#include <windows.h>

#include <thread>

namespace kvtest {

std::wstring CheckerPath() {
  const std::string path = KESTRAVO_CHECK_EXE;
  return std::wstring(path.begin(), path.end());
}

namespace {

std::wstring Wide(const std::string& text) {
  if (text.empty()) return L"";
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0);
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
  return wide;
}

// One argument as the C runtime's command line parser reads it back:
// backslashes count only before a quote.
std::wstring Quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

}  // namespace

CheckerResult RunChecker(const std::vector<std::string>& args, int timeout_ms) {
  CheckerResult result;
  std::wstring command = Quote(CheckerPath());
  for (const std::string& arg : args) command += L" " + Quote(Wide(arg));

  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return result;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  HANDLE nothing = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nothing;
  startup.hStdOutput = write_end;
  startup.hStdError = write_end;
  PROCESS_INFORMATION process = {};
  const bool started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
  // The pipe ends when the child's copy of the write end closes with it.
  CloseHandle(write_end);
  if (nothing != INVALID_HANDLE_VALUE) CloseHandle(nothing);
  if (!started) {
    CloseHandle(read_end);
    return result;
  }

  std::string raw;
  std::thread reader([&raw, read_end] {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0) raw.append(buffer, got);
  });
  if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 0xDEAD);
    WaitForSingleObject(process.hProcess, 5000);
  } else {
    DWORD status = 0;
    if (GetExitCodeProcess(process.hProcess, &status)) result.exit_code = static_cast<int>(status);
  }
  reader.join();
  CloseHandle(read_end);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);

  for (char c : raw) {
    if (c != '\r') result.output += c;
  }
  return result;
}

}  // namespace kvtest
