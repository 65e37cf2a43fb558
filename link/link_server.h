// The TCP server endpoint: listens on every local IPv4 address and raises one
// event per receive burst of any accepted peer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/byte_string.h"
#include "link/endpoint.h"
#include "link/socket_layer.h"

enum class LinkServerEvent { kDataArrival = 0, kClientEntered = 1, kClientLeft = 2 };

class LinkServer : public loopback::Endpoint<LinkServerEvent, 3> {
 public:
  using Event = LinkServerEvent;
  static constexpr int32_t kDefaultPort = 19730;

  explicit LinkServer(HWND parent = nullptr, int32_t port = kDefaultPort);
  // Closes every peer, raising nothing, then the listening socket.
  ~LinkServer();

  bool Listen();
  // The peer of the event being raised, elsewhere empty.
  const std::string& CurrentPeer() const { return current_peer(); }

  bool listening() const { return listener_.open(); }
  int32_t port() const { return port_; }
  size_t peer_count() const { return peers_.size(); }

 protected:
  // Accepts one waiting connection; a seam for tests that need something to
  // happen to the peer between its accept and its watch.
  virtual SOCKET AcceptPeer(SOCKET listener, std::string* name);

 private:
  struct Peer {
    loopback::Watched socket;
    std::string name;
    bool readable;  // a read notification came; its burst is still to be read
    bool drained;   // the last burst emptied the socket
  };

  void OnSocketEvent(const loopback::Watched& from, WORD event, WORD error) override;
  void OnDeferredWork() override;
  void Accept();
  void QueueReadPass();
  // Reads one burst and notes whether more is waiting; a peer found gone
  // leaves as if its close notification had come.
  void ReadBurstOf(const loopback::Watched& socket);
  loopback::BurstEnd ReceiveFrom(const loopback::Watched& socket);
  void PeerClosed(const loopback::Watched& socket);
  // Removes the peer, raises ClientLeft, then closes its socket.
  void Leave(const loopback::Watched& socket);
  Peer* FindPeer(const loopback::Watched& socket);

  int32_t port_;
  loopback::Watched listener_;
  std::vector<Peer> peers_;
  bool read_pass_queued_ = false;
};
