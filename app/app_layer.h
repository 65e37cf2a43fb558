// The application layer on Windows: the process's windows and its event loop.
#pragma once

#include <windows.h>

namespace app {

// Filters a key-down message of a loaded window or of one of its controls
// before the control sees it. Returns true when the key was taken.
using KeyFilter = bool (*)(HWND window, const MSG& msg);

// Step one of start-up: nothing of the program runs before it.
void InitialiseApplicationLayer();
// After the loop has ended: runs the exit routine once, then releases the rest.
void EndApplicationLayer();

void SetLoopRunning();
bool LoopRunning();

void AddLoadedWindow(HWND window, KeyFilter filter);
// Posts the quit request once the last window is gone and the loop runs.
void RemoveLoadedWindow(HWND window);
bool HasLoadedWindows();

// Where the loop takes its messages from: GetMessageW, or a test's stand-in.
using TakeMessage = BOOL(WINAPI*)(LPMSG msg, HWND window, UINT first, UINT last);

// What RunEventLoop returns when taking a message failed.
constexpr int kLoopFailed = -1;

// Takes, translates and dispatches messages until a quit request. Returns
// the quit code, or kLoopFailed when a message could not be taken.
int RunEventLoop(TakeMessage take = &GetMessageW);

}  // namespace app
