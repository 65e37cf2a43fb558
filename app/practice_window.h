// The program's one window: the log box, four action buttons and the two
// hidden link endpoints, built from its description table.
#pragma once

#include <windows.h>

#include <cstdint>

class LinkClient;
class LinkServer;

extern "C" {
// The window's two link controls while it exists, else null. Module-level so
// that the plain handlers (some written in assembly) can reach them.
extern LinkClient* link_client;
extern LinkServer* link_server;

// Appends one complete log line (GBK text, zero-terminated) at the end of
// the log box: the caret goes to the end, a user's selection is dropped.
void AppendToLog(const char* text);
}

// Loads the window non-modally: creates it and its controls, raises its
// created event, then shows it. Returns the window, or null on failure.
HWND LoadPracticeWindow();
