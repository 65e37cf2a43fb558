#include "app/app_layer.h"

#include <vector>

#include "base/process_end.h"

namespace app {
namespace {

struct LoadedWindow {
  HWND window;
  KeyFilter filter;
};

bool g_loop_running = false;
std::vector<LoadedWindow> g_loaded_windows;

// The loaded window that `hwnd` is, or that `hwnd` is a control of.
const LoadedWindow* OwnerOf(HWND hwnd) {
  for (HWND at = hwnd; at != nullptr; at = GetParent(at)) {
    for (const LoadedWindow& loaded : g_loaded_windows) {
      if (loaded.window == at) return &loaded;
    }
    if ((GetWindowLongW(at, GWL_STYLE) & WS_CHILD) == 0) break;
  }
  return nullptr;
}

bool FilterKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || msg.hwnd == nullptr) return false;
  const LoadedWindow* owner = OwnerOf(msg.hwnd);
  return owner != nullptr && owner->filter != nullptr && owner->filter(owner->window, msg);
}

}  // namespace

void InitialiseApplicationLayer() {
  g_loop_running = false;
  g_loaded_windows.clear();
  base::InstallOutOfMemoryHandler();
}

void EndApplicationLayer() {
  base::RunExitRoutine();
}

void SetLoopRunning() { g_loop_running = true; }
bool LoopRunning() { return g_loop_running; }

void AddLoadedWindow(HWND window, KeyFilter filter) {
  g_loaded_windows.push_back(LoadedWindow{window, filter});
}

void RemoveLoadedWindow(HWND window) {
  for (auto it = g_loaded_windows.begin(); it != g_loaded_windows.end(); ++it) {
    if (it->window == window) {
      g_loaded_windows.erase(it);
      break;
    }
  }
  if (g_loaded_windows.empty() && g_loop_running) PostQuitMessage(0);
}

bool HasLoadedWindows() { return !g_loaded_windows.empty(); }

int RunEventLoop(TakeMessage take) {
  for (;;) {
    MSG msg = {};
    const BOOL got = take(&msg, nullptr, 0, 0);
    // A failed take leaves the message undefined: nothing of it is read.
    if (got == -1) return kLoopFailed;
    if (got == 0) return static_cast<int>(msg.wParam);
    if (FilterKey(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace app
