#include "link/link_server.h"

#include <algorithm>

#include "link/burst.h"
#include "link/link_client.h"

LinkServer::LinkServer(HWND parent, int32_t port) : window_(parent, this), port_(port) {}

LinkServer::~LinkServer() {
  for (const Peer& peer : peers_) {
    link::Unwatch(peer.socket);
    link::CloseSocket(peer.socket);
  }
  peers_.clear();
  if (listener_ != INVALID_SOCKET) {
    link::Unwatch(listener_);
    link::CloseSocket(listener_);
  }
}

bool LinkServer::Listen() {
  if (!layer_.ready()) return false;
  if (listener_ != INVALID_SOCKET) {
    link::Unwatch(listener_);
    link::CloseSocket(listener_);
    listener_ = INVALID_SOCKET;
  }
  SOCKET socket = link::OpenTcpSocket();
  if (socket == INVALID_SOCKET) return false;
  if (port_ < 0 || port_ > 65535 || !link::BindAndListenAny(socket, port_) ||
      !link::Watch(socket, window_.hwnd(), FD_ACCEPT)) {
    link::CloseSocket(socket);
    return false;
  }
  listener_ = socket;
  return true;
}

void LinkServer::Bind(int event_index, EventHandler handler) {
  if (event_index >= 0 && event_index < kEventCount) handlers_[event_index] = handler;
}

void LinkServer::Raise(Event event, const std::string& peer) {
  current_peer_ = peer;
  if (handlers_[event] != nullptr) handlers_[event]();
  current_peer_.clear();
}

LinkServer::Peer* LinkServer::FindPeer(SOCKET socket) {
  for (Peer& peer : peers_) {
    if (peer.socket == socket) return &peer;
  }
  return nullptr;
}

void LinkServer::OnSocketEvent(SOCKET socket, WORD event, WORD /*error*/) {
  if (listener_ == INVALID_SOCKET) return;
  if (event == FD_ACCEPT) {
    if (socket == listener_) Accept();
  } else if (event == FD_READ) {
    // The platform posts a read notification for every read made while bytes
    // remain, so under a flood they pile up in the queue. Bytes that arrive
    // on an emptied socket are read at once; while a peer keeps more waiting
    // than a burst takes, its bursts are read by a pass queued behind what is
    // already waiting, one burst per peer and pass: a click that came in
    // meanwhile waits for one burst, not for a pile of them.
    if (Peer* peer = FindPeer(socket)) {
      if (peer->drained && !peer->readable) {
        ReadBurstOf(socket);
      } else {
        peer->readable = true;
        QueueReadPass();
      }
    }
  } else if (event == FD_CLOSE) {
    link::AwaitForeignSends();
    PeerClosed(socket);
  }
}

void LinkServer::Accept() {
  std::string name;
  SOCKET socket = link::AcceptPeer(listener_, &name);
  if (socket == INVALID_SOCKET) return;
  // An accepted socket inherits the listener's notifications: set its own at once.
  if (!link::Watch(socket, window_.hwnd(), FD_READ | FD_CLOSE)) {
    link::Unwatch(socket);
    link::CloseSocket(socket);
    return;
  }
  peers_.push_back(Peer{socket, name, false, true});
  Raise(kClientEntered, name);
}

void LinkServer::QueueReadPass() {
  if (read_pass_queued_) return;
  read_pass_queued_ = true;
  window_.PostDeferredWork();
}

void LinkServer::OnDeferredWork() {
  read_pass_queued_ = false;
  if (listener_ == INVALID_SOCKET) return;
  // Handlers may change the peer list: take the sockets first, look each up again.
  std::vector<SOCKET> readable;
  for (Peer& peer : peers_) {
    if (peer.readable) readable.push_back(peer.socket);
  }
  for (SOCKET socket : readable) {
    Peer* peer = FindPeer(socket);
    if (peer == nullptr || !peer->readable) continue;
    peer->readable = false;
    ReadBurstOf(socket);
  }
}

void LinkServer::ReadBurstOf(SOCKET socket) {
  link::AwaitForeignSends();
  const bool capped = ReceiveFrom(socket) == link::BurstEnd::kCapped;
  // The handler may have closed the peer meanwhile: look it up again.
  if (Peer* peer = FindPeer(socket)) {
    peer->drained = !capped;
    if (capped) {
      peer->readable = true;
      QueueReadPass();
    }
  }
}

link::BurstEnd LinkServer::ReceiveFrom(SOCKET socket) {
  const Peer* peer = FindPeer(socket);
  if (peer == nullptr) return link::BurstEnd::kUnreadable;  // a stray for a closed socket
  ByteString burst;
  const link::BurstEnd end = link::ReadOneBurst(socket, &burst);
  if (!burst.empty()) {
    const std::string name = peer->name;
    current_data_ = std::move(burst);
    Raise(kDataArrival, name);
    current_data_.clear();
  }
  return end;
}

void LinkServer::PeerClosed(SOCKET socket) {
  // Notifications for sockets that are not listed are strays of closed ones
  // (whose handle values may already be in use again): they are dropped.
  if (FindPeer(socket) == nullptr) return;
  // The close can be posted while bytes are still unread (a peer that sends
  // and closes, or resets, at once): they are logged before the peer leaves,
  // a burst per notification so that the loop stays responsive.
  if (ReceiveFrom(socket) == link::BurstEnd::kCapped) {
    window_.Repost(socket, FD_CLOSE);
    return;
  }
  auto it = std::find_if(peers_.begin(), peers_.end(),
                         [socket](const Peer& peer) { return peer.socket == socket; });
  if (it == peers_.end()) return;  // the handler closed the server's peers meanwhile
  const std::string name = it->name;
  peers_.erase(it);
  Raise(kClientLeft, name);
  link::Unwatch(socket);
  link::CloseSocket(socket);
}
