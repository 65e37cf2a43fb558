// The TCP client endpoint: one connection at most, raw bytes out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "link/byte_string.h"
#include "link/socket_layer.h"

class LinkClient;

// The send operation as a plain C-linkage routine, so that routines written
// in assembly call it directly and nothing stands between them and the
// platform's send.
extern "C" bool LinkClientSend(LinkClient* client, const uint8_t* data, int32_t length);

namespace link {

// A send made on another thread than the endpoints' own (a learner's thread
// started at a routine's address) is followed by its log line, which that
// thread hands over to the window's thread. Until the line is in, the server
// holds back what it receives, so that the line still comes before the hex of
// its bytes.
void EndForeignSend();
// On the endpoints' thread: waits, taking only messages sent by other
// threads, until every foreign send has its line, or gives up after a while
// (a thread that sends and never logs).
void AwaitForeignSends();

}  // namespace link

class LinkClient : private link::NotifyWindow::Sink {
 public:
  using EventHandler = void (*)();
  enum Event { kDataArrival = 0, kDisconnected = 1, kEventCount = 2 };

  // `parent` receives the hidden notification window as a child; null makes
  // it a message-only window.
  explicit LinkClient(HWND parent = nullptr);
  ~LinkClient();
  LinkClient(const LinkClient&) = delete;
  LinkClient& operator=(const LinkClient&) = delete;

  bool Connect(const std::string& address, int32_t port);
  bool Send(const ByteString& data) {
    return LinkClientSend(this, data.data(), static_cast<int32_t>(data.size()));
  }
  void Disconnect();

  void Bind(int event_index, EventHandler handler);
  ByteString GetData() const { return current_data_; }

  bool socket_layer_ready() const { return layer_.ready(); }
  bool connected() const { return connected_; }
  // The local port of the connection, 0 without one (tests name the peer by it).
  int LocalPort() const;

 private:
  friend bool LinkClientSend(LinkClient*, const uint8_t*, int32_t);

  void OnSocketEvent(SOCKET socket, WORD event, WORD error) override;
  void CloseCurrent();
  void Raise(Event event);
  link::BurstEnd RaiseBurst();

  link::SocketLayer layer_;
  link::NotifyWindow window_;
  DWORD thread_;
  SOCKET socket_ = INVALID_SOCKET;
  bool connected_ = false;
  ByteString current_data_;
  EventHandler handlers_[kEventCount] = {};
};
