// What the two endpoints share: the platform socket layer, the window their
// notifications come to, the table of event handlers and the event being
// raised, the read of a burst and the raise of its bytes, and the unwatch
// and close of a socket.
#pragma once

#include <cstddef>
#include <string>
#include <utility>

#include "link/burst.h"
#include "link/byte_string.h"
#include "link/socket_layer.h"

namespace loopback {

// `Event` is the endpoint's own enumeration of its events, numbered from 0
// to `kEventCount` - 1: a handler can only be bound to an event of its kind.
template <typename Event, size_t kEventCount>
class Endpoint : protected NotifyWindow::Sink {
 public:
  using EventHandler = void (*)();

  Endpoint(const Endpoint&) = delete;
  Endpoint& operator=(const Endpoint&) = delete;

  // An event outside the enumeration binds nothing.
  void Bind(Event event, EventHandler handler) {
    if (Index(event) < kEventCount) handlers_[Index(event)] = handler;
  }
  // Inside a DataArrival handler the bytes of that burst, elsewhere empty.
  ByteString GetData() const { return current_data_; }
  bool socket_layer_ready() const { return layer_.ready(); }

 protected:
  // `parent` receives the hidden notification window as a child; null makes
  // it a message-only window.
  explicit Endpoint(HWND parent) : window_(parent, this) {}
  ~Endpoint() = default;

  // Runs the handler bound to `event`, if any; `peer` is the event's peer
  // while it runs.
  void Raise(Event event, const std::string& peer = std::string()) {
    if (Index(event) >= kEventCount || handlers_[Index(event)] == nullptr) return;
    current_peer_ = peer;
    handlers_[Index(event)]();
    current_peer_.clear();
  }

  // Reads one burst from `socket` and, when it holds bytes, runs
  // `before_raise` (if any), then raises `data_event` with them as GetData.
  BurstEnd ReadAndRaise(SOCKET socket, Event data_event, const std::string& peer = std::string(),
                        void (*before_raise)() = nullptr) {
    ByteString burst;
    const BurstEnd end = ReadOneBurst(socket, &burst);
    if (!burst.empty()) {
      if (before_raise != nullptr) before_raise();
      current_data_ = std::move(burst);
      Raise(data_event, peer);
      current_data_.clear();
    }
    return end;
  }

  Watched Watch(SOCKET socket, long events) { return window_.Watch(socket, events); }
  void Repost(const Watched& socket, WORD event) const { window_.Repost(socket, event); }
  void PostDeferredWork() const { window_.PostDeferredWork(); }

  // Stops the socket's notifications, closes it and forgets it.
  static void Close(Watched* socket) {
    UnwatchAndClose(socket->socket);
    *socket = Watched();
  }

  const std::string& current_peer() const { return current_peer_; }

 private:
  static size_t Index(Event event) {
    static_assert(kEventCount > 0, "an endpoint has events");
    return static_cast<size_t>(event);
  }

  SocketLayer layer_;
  NotifyWindow window_;
  ByteString current_data_;
  std::string current_peer_;
  EventHandler handlers_[kEventCount] = {};
};

}  // namespace loopback
