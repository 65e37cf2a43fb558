// The practice window as a table: first the window itself, then one record
// per control, with places, settings and event bindings.
#pragma once

#include <cstdint>

#include "link/link_client.h"
#include "link/link_server.h"

enum class ControlKind { kWindow, kPushButton, kEditBox, kTcpClient, kTcpServer };

// The events of the window and of the push buttons, by their indexes; the
// link endpoints number their own (LinkClient::Event, LinkServer::Event).
enum class WindowEvent : int32_t { kCreated = 0, kWillBeDestroyed = 2 };
enum class ButtonEvent : int32_t { kClicked = 0 };

using EventHandler = void (*)();

// An event as a binding names it: the kind of control whose event it is, and
// its index among that kind's events. Made only from a kind's own
// enumeration, so the window's will-be-destroyed event (2) and the server's
// ClientLeft (2) are different events.
class ControlEvent {
 public:
  constexpr ControlEvent() = default;
  constexpr ControlEvent(WindowEvent event) : kind_(ControlKind::kWindow), index_(Index(event)) {}
  constexpr ControlEvent(ButtonEvent event)
      : kind_(ControlKind::kPushButton), index_(Index(event)) {}
  constexpr ControlEvent(LinkClient::Event event)
      : kind_(ControlKind::kTcpClient), index_(Index(event)) {}
  constexpr ControlEvent(LinkServer::Event event)
      : kind_(ControlKind::kTcpServer), index_(Index(event)) {}

  constexpr ControlKind kind() const { return kind_; }
  constexpr int32_t index() const { return index_; }
  constexpr bool operator==(const ControlEvent& other) const {
    return kind_ == other.kind_ && index_ == other.index_;
  }

 private:
  template <typename Event>
  static constexpr int32_t Index(Event event) {
    return static_cast<int32_t>(event);
  }

  ControlKind kind_ = ControlKind::kWindow;
  int32_t index_ = -1;  // no event
};

struct EventBinding {
  ControlEvent event;
  EventHandler handler;  // null: no binding
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

// Whether every binding of the record names an event of the record's kind.
constexpr bool BindsOwnEvents(const ControlRecord& record) {
  for (const EventBinding& binding : record.bindings) {
    if (binding.handler != nullptr && binding.event.kind() != record.kind) return false;
  }
  return true;
}

extern const char kPracticeWindowClass[];
constexpr int kPracticeWindowRecordCount = 8;
extern const ControlRecord kPracticeWindowDescription[kPracticeWindowRecordCount];
// Names of the tab-stop controls in focus order.
extern const char* const kPracticeWindowTabOrder[5];
