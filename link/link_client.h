// The TCP client endpoint: one connection at most, raw bytes out.
#pragma once

#include <cstdint>
#include <string>

#include "link/byte_string.h"
#include "link/endpoint.h"
#include "link/socket_layer.h"

class LinkClient;

// The send operation as a plain C-linkage routine, so that routines written
// in assembly call it directly and nothing stands between them and the
// platform's send. A null client has no connection: the answer is false.
extern "C" bool LinkClientSend(LinkClient* client, const uint8_t* data, int32_t length);

enum class LinkClientEvent { kDataArrival = 0, kDisconnected = 1 };

class LinkClient : public loopback::Endpoint<LinkClientEvent, 2> {
 public:
  using Event = LinkClientEvent;

  explicit LinkClient(HWND parent = nullptr);
  ~LinkClient();

  bool Connect(const std::string& address, int32_t port);
  bool Send(const ByteString& data) {
    return LinkClientSend(this, data.data(), static_cast<int32_t>(data.size()));
  }
  void Disconnect();

  bool connected() const { return connected_; }
  // The local port of the connection, 0 without one (tests name the peer by it).
  int LocalPort() const;

 private:
  friend bool LinkClientSend(LinkClient*, const uint8_t*, int32_t);

  void OnSocketEvent(const loopback::Watched& from, WORD event, WORD error) override;

  DWORD thread_;
  loopback::Watched socket_;
  bool connected_ = false;
};
