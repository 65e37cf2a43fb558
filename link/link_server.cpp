#include "link/link_server.h"

#include <algorithm>

#include "link/foreign_sends.h"

LinkServer::LinkServer(HWND parent, int32_t port) : Endpoint(parent), port_(port) {}

LinkServer::~LinkServer() {
  for (Peer& peer : peers_) Close(&peer.socket);
  peers_.clear();
  Close(&listener_);
}

bool LinkServer::Listen() {
  if (!socket_layer_ready()) return false;
  Close(&listener_);
  const SOCKET socket = loopback::OpenTcpSocket();
  if (socket == INVALID_SOCKET) return false;
  if (port_ < 0 || port_ > 65535 || !loopback::BindAndListenAny(socket, port_)) {
    loopback::UnwatchAndClose(socket);
    return false;
  }
  listener_ = Watch(socket, FD_ACCEPT);
  if (listener_.message == 0) {
    Close(&listener_);
    return false;
  }
  return true;
}

SOCKET LinkServer::AcceptPeer(SOCKET listener, std::string* name) {
  return loopback::AcceptPeer(listener, name);
}

LinkServer::Peer* LinkServer::FindPeer(const loopback::Watched& socket) {
  for (Peer& peer : peers_) {
    if (peer.socket == socket) return &peer;
  }
  return nullptr;
}

void LinkServer::OnSocketEvent(const loopback::Watched& from, WORD event, WORD /*error*/) {
  if (!listener_.open()) return;
  if (event == FD_ACCEPT) {
    if (from == listener_) Accept();
    return;
  }
  // Notifications of sockets that are not listed are strays of closed ones
  // (whose handle values may already be in use again): they are dropped.
  Peer* peer = FindPeer(from);
  if (peer == nullptr) return;
  if (event == FD_READ) {
    // The platform posts a read notification for every read made while bytes
    // remain, so under a flood they pile up in the queue. Bytes that arrive
    // on an emptied socket are read at once; while a peer keeps more waiting
    // than a burst takes, its bursts are read by a pass queued behind what is
    // already waiting, one burst per peer and pass: a click that came in
    // meanwhile waits for one burst, not for a pile of them.
    if (peer->drained && !peer->readable) {
      ReadBurstOf(from);
    } else {
      peer->readable = true;
      QueueReadPass();
    }
  } else if (event == FD_CLOSE) {
    PeerClosed(from);
  }
}

void LinkServer::Accept() {
  std::string name;
  const SOCKET socket = AcceptPeer(listener_.socket, &name);
  if (socket == INVALID_SOCKET) return;
  // An accepted socket inherits the listener's notifications: set its own at once.
  const loopback::Watched watched = Watch(socket, FD_READ | FD_CLOSE);
  if (watched.message == 0) {
    loopback::UnwatchAndClose(socket);
    return;
  }
  // A peer that closed or reset between the accept and the watch is never
  // notified of: a first read, queued behind its ClientEntered, finds it gone
  // (after whatever it sent). Otherwise it would stay listed, and its socket
  // open, for as long as the program runs.
  peers_.push_back(Peer{watched, name, true, false});
  Raise(Event::kClientEntered, name);
  QueueReadPass();
}

void LinkServer::QueueReadPass() {
  if (read_pass_queued_) return;
  read_pass_queued_ = true;
  PostDeferredWork();
}

void LinkServer::OnDeferredWork() {
  read_pass_queued_ = false;
  if (!listener_.open()) return;
  // Handlers may change the peer list: take the sockets first, look each up again.
  std::vector<loopback::Watched> readable;
  for (const Peer& peer : peers_) {
    if (peer.readable) readable.push_back(peer.socket);
  }
  for (const loopback::Watched& socket : readable) {
    Peer* peer = FindPeer(socket);
    if (peer == nullptr || !peer->readable) continue;
    peer->readable = false;
    ReadBurstOf(socket);
  }
}

void LinkServer::ReadBurstOf(const loopback::Watched& socket) {
  const loopback::BurstEnd end = ReceiveFrom(socket);
  if (end == loopback::BurstEnd::kPeerGone) {
    Leave(socket);
    return;
  }
  // The handler may have closed the peer meanwhile: look it up again.
  if (Peer* peer = FindPeer(socket)) {
    const bool capped = end == loopback::BurstEnd::kCapped;
    peer->drained = !capped;
    if (capped) {
      peer->readable = true;
      QueueReadPass();
    }
  }
}

loopback::BurstEnd LinkServer::ReceiveFrom(const loopback::Watched& socket) {
  const Peer* peer = FindPeer(socket);
  if (peer == nullptr) return loopback::BurstEnd::kUnreadable;
  const std::string name = peer->name;
  // Held back until every send of another thread has its line: its bytes
  // may be in this burst, and its line goes first. Waiting after the read
  // also covers a send that began while the burst was being read.
  return ReadAndRaise(socket.socket, Event::kDataArrival, name, &loopback::AwaitForeignSends);
}

void LinkServer::PeerClosed(const loopback::Watched& socket) {
  // The close can be posted while bytes are still unread (a peer that sends
  // and closes, or resets, at once): they are logged before the peer leaves,
  // a burst per notification so that the loop stays responsive.
  if (ReceiveFrom(socket) == loopback::BurstEnd::kCapped) {
    Repost(socket, FD_CLOSE);
    return;
  }
  Leave(socket);
}

void LinkServer::Leave(const loopback::Watched& socket) {
  auto it = std::find_if(peers_.begin(), peers_.end(),
                         [&socket](const Peer& peer) { return peer.socket == socket; });
  if (it == peers_.end()) return;  // the handler closed the server's peers meanwhile
  const std::string name = it->name;
  loopback::Watched closing = it->socket;
  peers_.erase(it);
  Raise(Event::kClientLeft, name);
  Close(&closing);
}
