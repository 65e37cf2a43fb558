#include "tests/e2e/program.h"

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace kvtest {

const wchar_t kWindowClass[] = L"Quillan84";
const wchar_t kCaption[] = L"Kestravo BY:Tovrel";

std::wstring ProgramPath() {
  std::string path = KESTRAVO_EXE;
  return std::wstring(path.begin(), path.end());
}

std::string MapPath() { return KESTRAVO_MAP; }

uint32_t PreferredImageBase(const std::wstring& exe) {
  std::ifstream file(exe.c_str(), std::ios::binary);
  auto u32 = [&file](std::streamoff at) {
    uint8_t b[4] = {};
    file.seekg(at);
    file.read(reinterpret_cast<char*>(b), 4);
    return file ? b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24 : 0u;
  };
  const uint32_t pe = u32(0x3C);
  if (pe == 0) return 0;
  // The optional header's ImageBase: after BaseOfData in PE32, 8 bytes
  // without it in PE32+ (the 64-bit builds' base lies below 4 GiB).
  const bool pe32_plus = (u32(pe + 24) & 0xFFFF) == 0x20B;
  return pe32_plus ? u32(pe + 24 + 24) : u32(pe + 24 + 28);
}

void PrintTo(const Build& build, std::ostream* out) { *out << build.name; }

namespace {
#ifdef KESTRAVO_ASLR_EXE
std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
#endif
std::wstring FileName(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }
}  // namespace

std::vector<Build> ShippedBuilds() {
  const std::wstring exe = ProgramPath();
  std::vector<Build> builds = {
      {KESTRAVO_BUILD_NAME, exe, MapPath(), FileName(exe), PreferredImageBase(exe), true}};
#ifdef KESTRAVO_ASLR_EXE
  const std::wstring aslr = Wide(KESTRAVO_ASLR_EXE);
  const std::wstring moved = Wide(KESTRAVO_MOVED_EXE);
  builds.push_back({"aslr", aslr, KESTRAVO_ASLR_MAP, FileName(aslr), PreferredImageBase(aslr), false});
  builds.push_back(
      {"aslr_moved", moved, KESTRAVO_ASLR_MAP, FileName(moved), PreferredImageBase(aslr), false});
#endif
  return builds;
}

Program::~Program() {
  if (process_.hProcess != nullptr) {
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 1);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
}

std::vector<std::pair<HWND, DWORD>> FindProgramWindows() {
  std::vector<std::pair<HWND, DWORD>> found;
  HWND at = nullptr;
  while ((at = FindWindowExW(nullptr, at, kWindowClass, kCaption)) != nullptr) {
    DWORD pid = 0;
    GetWindowThreadProcessId(at, &pid);
    found.emplace_back(at, pid);
  }
  return found;
}

bool Program::Start(const std::wstring& exe) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  std::wstring command = L"\"" + exe + L"\"";
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process_)) {
    return false;
  }
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 20000) {
    for (const auto& [hwnd, pid] : FindProgramWindows()) {
      if (pid == process_.dwProcessId && IsWindowVisible(hwnd)) {
        window_ = hwnd;
        return true;
      }
    }
    if (WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0) return false;
  }
  return false;
}

std::vector<HWND> Program::Children() const {
  std::vector<HWND> children;
  for (HWND child = GetWindow(window_, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

HWND Program::Child(const wchar_t* class_name, const wchar_t* text) const {
  for (HWND child : Children()) {
    wchar_t found_class[64] = {};
    GetClassNameW(child, found_class, 64);
    if (lstrcmpiW(found_class, class_name) != 0) continue;
    if (text == nullptr) return child;
    wchar_t found_text[64] = {};
    GetWindowTextW(child, found_text, 64);
    if (lstrcmpW(found_text, text) == 0) return child;
  }
  return nullptr;
}

std::wstring Program::LogText() const {
  HWND box = LogBox();
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(box, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, 5000, &length)) return L"";
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(box, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(&text[0]), SMTO_BLOCK,
                      5000, &copied);
  text.resize(copied);
  return text;
}

std::string Gbk(const std::wstring& text) {
  if (text.empty()) return "";
  const int size = WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                       0, nullptr, nullptr);
  std::string out(size, '\0');
  WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr,
                      nullptr);
  return out;
}

std::vector<std::string> Program::LogLines() const {
  const std::string text = Gbk(LogText());
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end + 2 - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));  // an unfinished last line
  return lines;
}

bool Program::WaitForLines(size_t count, int timeout_ms) const {
  const DWORD start = GetTickCount();
  for (;;) {
    const std::wstring text = LogText();
    size_t lines = 0;
    for (size_t at = 0; (at = text.find(L"\r\n", at)) != std::wstring::npos; at += 2) ++lines;
    if (lines >= count) return true;
    if (GetTickCount() - start > static_cast<DWORD>(timeout_ms)) return false;
    Sleep(10);
  }
}

void Program::Press(const wchar_t* caption) const {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(Button(caption), BM_CLICK, 0, 0, SMTO_BLOCK, 5000, &result);
}

void Program::PostKey(HWND target, WPARAM key) const {
  const UINT scan = MapVirtualKeyW(static_cast<UINT>(key), 0);
  PostMessageW(target, WM_KEYDOWN, key, 1 | (scan << 16));
  PostMessageW(target, WM_KEYUP, key, 1 | (scan << 16) | (3u << 30));
}

HWND Program::Focus() const {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  const DWORD thread = GetWindowThreadProcessId(window_, nullptr);
  return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

int Program::HandleCount() const {
  DWORD count = 0;
  if (GetProcessHandleCount(process_.hProcess, &count) && count != 0) return static_cast<int>(count);
  // Wine answers 0 for another process: count its entries in the system's handle table.
  struct Entry {
    USHORT process;
    USHORT creator_back_trace;
    UCHAR type;
    UCHAR attributes;
    USHORT value;
    PVOID object;
    ULONG access;
  };
  using Query = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<Query>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return -1;
  std::vector<char> buffer(1 << 20);
  ULONG size = 0;
  LONG status;
  const ULONG kSystemHandleInformation = 16;
  while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                         &size)) == static_cast<LONG>(0xC0000004)) {  // length mismatch
    buffer.resize(buffer.size() * 2);
  }
  if (status != 0) return -1;
  const ULONG entries = *reinterpret_cast<const ULONG*>(buffer.data());
  const auto* entry = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
  int mine = 0;
  for (ULONG i = 0; i < entries; ++i) mine += entry[i].process == process_.dwProcessId;
  return mine;
}

size_t Program::WorkingSet() const {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  return GetProcessMemoryInfo(process_.hProcess, &counters, sizeof counters) ? counters.WorkingSetSize : 0;
}

size_t Program::PeakWorkingSet() const {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  return GetProcessMemoryInfo(process_.hProcess, &counters, sizeof counters) ? counters.PeakWorkingSetSize
                                                                             : 0;
}

DWORD Program::WaitForExit(int timeout_ms) {
  if (WaitForSingleObject(process_.hProcess, timeout_ms) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD status = STILL_ACTIVE;
  GetExitCodeProcess(process_.hProcess, &status);
  return status;
}

std::vector<MapSymbol> ReadMapSymbols(const std::string& path) {
  // Symbol lines of a GNU ld map: "                0x00402a50                Name".
  std::vector<MapSymbol> symbols;
  std::ifstream map(path);
  std::string line;
  while (std::getline(map, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream fields(line);
    std::string address, name;
    if (line.rfind("                0x", 0) != 0 || !(fields >> address >> name)) continue;
    std::string rest;
    std::getline(fields, rest);
    if (name.find('=') != std::string::npos || rest.find('=') != std::string::npos) continue;
    symbols.push_back({name + rest, static_cast<uint32_t>(std::stoul(address, nullptr, 16))});
  }
  std::stable_sort(symbols.begin(), symbols.end(),
                   [](const MapSymbol& a, const MapSymbol& b) { return a.address < b.address; });
  return symbols;
}

uint32_t SymbolAddress(const std::vector<MapSymbol>& symbols, const std::string& name) {
  for (const MapSymbol& symbol : symbols) {
    if (symbol.name == name) return symbol.address;
  }
  return 0;
}

uint32_t DeathRoutineAddress() { return SymbolAddress(ReadMapSymbols(MapPath()), "DeathRoutine"); }

std::string AddressHexLine(uint32_t address) {
  char text[16];
  wsprintfA(text, "%02X%02X%02X%02X\r\n", address & 0xFF, (address >> 8) & 0xFF,
            (address >> 16) & 0xFF, address >> 24);
  return text;
}

bool StartHostCommand(const std::string& command_line) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::string command = command_line;
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return true;
}

}  // namespace kvtest
