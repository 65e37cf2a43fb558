// Drives a running kestravo.exe from outside its process, as a learner's
// tools would: the window by class and caption, its controls, its port.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace kvtest {

// Where the build put the program and its map file (Windows paths).
std::wstring ProgramPath();
std::string MapPath();

// A build of the program that ships: its exe, its map, and the image base
// its map's addresses assume.
struct Build {
  std::string name;  // names the build in test names
  std::wstring exe;
  std::string map;
  std::wstring module;  // the exe's file name, as a process lists its modules
  uint32_t map_base;
  // False for the build whose base moves from run to run: its addresses are
  // written as module+offset.
  bool fixed_base;
};
// The builds of this tree: in the 32-bit one the fixed build, the moving one,
// and the moving one loaded elsewhere than its preferred base; in the 64-bit
// one kestravo64.exe.
std::vector<Build> ShippedBuilds();
void PrintTo(const Build& build, std::ostream* out);  // names the build in test output
// The preferred image base written in a PE file's header, 0 if unreadable.
uint32_t PreferredImageBase(const std::wstring& exe);

constexpr int kPort = 19730;
extern const wchar_t kWindowClass[];
extern const wchar_t kCaption[];

class Program {
 public:
  Program() = default;
  ~Program();  // ends the process if a test left it running
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Starts the program (the build's own unless told otherwise) and waits
  // until its window can be found.
  bool Start(const std::wstring& exe = ProgramPath());
  HWND window() const { return window_; }
  HANDLE process() const { return process_.hProcess; }
  // The program's one thread, which runs its window and its event loop.
  HANDLE main_thread() const { return process_.hThread; }
  DWORD process_id() const { return process_.dwProcessId; }

  HWND Child(const wchar_t* class_name, const wchar_t* text) const;
  HWND Button(const wchar_t* caption) const { return Child(L"Button", caption); }
  HWND LogBox() const { return Child(L"Edit", nullptr); }
  std::vector<HWND> Children() const;

  // The log box's text, converted back to GBK bytes, and split into lines
  // that keep their "\r\n".
  std::wstring LogText() const;
  std::vector<std::string> LogLines() const;
  // Waits until the log holds at least `count` complete lines.
  bool WaitForLines(size_t count, int timeout_ms = 5000) const;

  // A press by message, as the button sends its own click.
  void Press(const wchar_t* caption) const;
  void PostKey(HWND target, WPARAM key) const;
  HWND Focus() const;

  // The process's open handles (sockets included), and its working set.
  int HandleCount() const;
  size_t WorkingSet() const;
  size_t PeakWorkingSet() const;

  // Waits for the process to end; its exit status, or STILL_ACTIVE.
  DWORD WaitForExit(int timeout_ms = 5000);

 private:
  PROCESS_INFORMATION process_ = {};
  HWND window_ = nullptr;
};

// Every top-level window of the program's class and caption, with its process.
std::vector<std::pair<HWND, DWORD>> FindProgramWindows();

std::string Gbk(const std::wstring& text);

// The linker map: routine names to addresses, in address order.
struct MapSymbol {
  std::string name;
  uint32_t address;
};
std::vector<MapSymbol> ReadMapSymbols(const std::string& path);
uint32_t SymbolAddress(const std::vector<MapSymbol>& symbols, const std::string& name);
// DeathRoutine's address from the map (0 if missing), and the hex line that
// its four bytes give in the log, least significant first.
uint32_t DeathRoutineAddress();
std::string AddressHexLine(uint32_t address);

// Starts a Linux command (the X input tools) from inside Wine. Wine hands out
// no handle to wait on for a host process: callers wait for its effect.
bool StartHostCommand(const std::string& command_line);

}  // namespace kvtest
