// The TCP server endpoint: listens on every local IPv4 address and raises one
// event per receive burst of any accepted peer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/byte_string.h"
#include "link/socket_layer.h"

class LinkServer : private link::NotifyWindow::Sink {
 public:
  using EventHandler = void (*)();
  enum Event { kDataArrival = 0, kClientEntered = 1, kClientLeft = 2, kEventCount = 3 };
  static constexpr int32_t kDefaultPort = 19730;

  explicit LinkServer(HWND parent = nullptr, int32_t port = kDefaultPort);
  // Closes every peer, raising nothing, then the listening socket.
  ~LinkServer();
  LinkServer(const LinkServer&) = delete;
  LinkServer& operator=(const LinkServer&) = delete;

  bool Listen();
  // Inside a DataArrival handler the bytes of that burst, elsewhere empty.
  ByteString GetData() const { return current_data_; }
  // The peer of the event being raised, elsewhere empty.
  const std::string& CurrentPeer() const { return current_peer_; }

  void Bind(int event_index, EventHandler handler);

  bool socket_layer_ready() const { return layer_.ready(); }
  bool listening() const { return listener_ != INVALID_SOCKET; }
  int32_t port() const { return port_; }
  size_t peer_count() const { return peers_.size(); }

 private:
  struct Peer {
    SOCKET socket;
    std::string name;
    bool readable;  // a read notification came; its burst is still to be read
    bool drained;   // the last burst emptied the socket
  };

  void OnSocketEvent(SOCKET socket, WORD event, WORD error) override;
  void OnDeferredWork() override;
  void QueueReadPass();
  // Reads one burst and notes whether more is waiting.
  void ReadBurstOf(SOCKET socket);
  void Accept();
  link::BurstEnd ReceiveFrom(SOCKET socket);
  void PeerClosed(SOCKET socket);
  Peer* FindPeer(SOCKET socket);
  void Raise(Event event, const std::string& peer);

  link::SocketLayer layer_;
  link::NotifyWindow window_;
  int32_t port_;
  SOCKET listener_ = INVALID_SOCKET;
  std::vector<Peer> peers_;
  bool read_pass_queued_ = false;
  ByteString current_data_;
  std::string current_peer_;
  EventHandler handlers_[kEventCount] = {};
};
