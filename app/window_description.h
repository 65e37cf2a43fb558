// The practice window as a table: first the window itself, then one record
// per control, with places, settings and event bindings.
#pragma once

#include <cstdint>

enum class ControlKind { kWindow, kPushButton, kEditBox, kTcpClient, kTcpServer };

using EventHandler = void (*)();

struct EventBinding {
  int32_t event;
  EventHandler handler;
};

struct ControlRecord {
  ControlKind kind;
  const char* name;  // GBK; empty for the window record
  int32_t left, top, width, height;
  const char* text;  // GBK caption
  bool visible;
  bool disabled;
  bool tab_stop;
  EventBinding bindings[3];
};

// Event indexes of the window and of the push buttons; the link endpoints
// number their own (LinkClient::Event, LinkServer::Event).
constexpr int32_t kWindowCreated = 0;
constexpr int32_t kWindowWillBeDestroyed = 2;
constexpr int32_t kButtonClicked = 0;

extern const char kPracticeWindowClass[];
constexpr int kPracticeWindowRecordCount = 8;
extern const ControlRecord kPracticeWindowDescription[kPracticeWindowRecordCount];
// Names of the tab-stop controls in focus order.
extern const char* const kPracticeWindowTabOrder[5];
