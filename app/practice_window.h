// The program's one window: the log box, four action buttons and the two
// hidden link endpoints, built from its description table. Its state is
// attached to the window and goes with it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "app/log_box.h"
#include "app/window_description.h"
#include "link/link_client.h"
#include "link/link_server.h"

extern "C" {
// The window's link client while the window exists, else null. The practice
// routines' assembly reaches the client through this name.
extern LinkClient* link_client;

// Appends one complete log line (GBK text, zero-terminated) at the end of
// the log box: the caret goes to the end, a user's selection is dropped.
// From another thread the line is handed to the window's thread. Without a
// window it does nothing.
void AppendToLog(const char* text);
}

class PracticeWindow {
 public:
  // Loads the window non-modally: creates it and its controls, raises its
  // created event, then shows it. Returns the window, or null on failure.
  static HWND Load();
  // The loaded window, or null: before it is created or after it is gone.
  static PracticeWindow* Loaded();

  HWND hwnd() const { return hwnd_; }
  LogBox& log() { return log_; }
  LinkClient* client() { return client_.get(); }
  LinkServer* server() { return server_.get(); }

 private:
  explicit PracticeWindow(HWND hwnd);
  PracticeWindow(const PracticeWindow&) = delete;
  PracticeWindow& operator=(const PracticeWindow&) = delete;

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  static bool FilterKey(HWND window, const MSG& msg);
  LRESULT Handle(UINT msg, WPARAM wparam, LPARAM lparam);
  void CreateControls();
  void ArrangeTabOrder();

  HWND hwnd_;
  LogBox log_;
  std::unique_ptr<LinkServer> server_;
  std::unique_ptr<LinkClient> client_;
};

// Loads PracticeWindow; the window, or null on failure.
HWND LoadPracticeWindow();
