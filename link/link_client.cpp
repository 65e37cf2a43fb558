#include "link/link_client.h"

#include "link/foreign_sends.h"

LinkClient::LinkClient(HWND parent) : Endpoint(parent), thread_(GetCurrentThreadId()) {}

LinkClient::~LinkClient() { Close(&socket_); }

bool LinkClient::Connect(const std::string& address, int32_t port) {
  if (!socket_layer_ready()) return false;
  Close(&socket_);
  connected_ = false;
  const SOCKET socket = loopback::OpenTcpSocket();
  if (socket == INVALID_SOCKET) return false;
  if (port < 1) port = 1;
  in_addr to;
  // A port beyond the 16-bit range would silently wrap to another port.
  if (port > 65535 || !loopback::ResolveIpv4(address, &to) ||
      !loopback::ConnectBlocking(socket, to, port)) {
    loopback::UnwatchAndClose(socket);
    return false;
  }
  socket_ = Watch(socket, FD_READ | FD_CLOSE);
  if (socket_.message == 0) {
    Close(&socket_);
    return false;
  }
  connected_ = true;
  return true;
}

bool LinkClientSend(LinkClient* client, const uint8_t* data, int32_t length) {
  // A practice routine may run on a learner's thread before the window (and
  // its client) exists or after it is gone.
  if (client == nullptr) return false;
  const SOCKET socket = client->socket_.socket;
  if (socket == INVALID_SOCKET || !client->connected_) return false;
  if (GetCurrentThreadId() != client->thread_) loopback::BeginForeignSend();
  int32_t written = 0;
  while (written < length) {
    const int n = loopback::WriteSome(socket, data + written, length - written);
    if (n <= 0) return false;  // would-block included: Send never waits
    written += n;
  }
  return true;
}

void LinkClient::Disconnect() {
  Close(&socket_);
  connected_ = false;
}

int LinkClient::LocalPort() const {
  if (!socket_.open()) return 0;
  sockaddr_in local = {};
  int size = sizeof local;
  if (getsockname(socket_.socket, reinterpret_cast<sockaddr*>(&local), &size) != 0) return 0;
  return ntohs(local.sin_port);
}

void LinkClient::OnSocketEvent(const loopback::Watched& from, WORD event, WORD /*error*/) {
  if (!socket_.open() || from != socket_) return;  // a stray of a closed socket
  if (event == FD_READ) {
    ReadAndRaise(socket_.socket, Event::kDataArrival);
  } else if (event == FD_CLOSE) {
    // The close may overtake bytes not yet read; they are read first, a burst
    // per notification, so nothing the server sent is lost. The socket stays
    // open and connected.
    if (ReadAndRaise(socket_.socket, Event::kDataArrival) == loopback::BurstEnd::kCapped) {
      Repost(socket_, FD_CLOSE);
      return;
    }
    Raise(Event::kDisconnected);
  }
}
