#include "link/link_client.h"

#include <atomic>

#include "link/burst.h"

namespace link {
namespace {

std::atomic<int> g_foreign_sends{0};
constexpr DWORD kForeignSendPatienceMs = 500;

}  // namespace

void EndForeignSend() {
  int pending = g_foreign_sends.load();
  while (pending > 0 && !g_foreign_sends.compare_exchange_weak(pending, pending - 1)) {
  }
}

void AwaitForeignSends() {
  if (g_foreign_sends.load() == 0) return;
  const DWORD start = GetTickCount();
  while (g_foreign_sends.load() > 0) {
    if (GetTickCount() - start >= kForeignSendPatienceMs) {
      g_foreign_sends.store(0);
      return;
    }
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // delivers sent messages
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_SENDMESSAGE);
  }
}

}  // namespace link

LinkClient::LinkClient(HWND parent) : window_(parent, this), thread_(GetCurrentThreadId()) {}

LinkClient::~LinkClient() { CloseCurrent(); }

void LinkClient::CloseCurrent() {
  if (socket_ == INVALID_SOCKET) return;
  link::Unwatch(socket_);
  link::CloseSocket(socket_);
  socket_ = INVALID_SOCKET;
}

bool LinkClient::Connect(const std::string& address, int32_t port) {
  if (!layer_.ready()) return false;
  CloseCurrent();
  connected_ = false;
  socket_ = link::OpenTcpSocket();
  if (socket_ == INVALID_SOCKET) return false;
  if (port < 1) port = 1;
  in_addr to;
  // A port beyond the 16-bit range would silently wrap to another port.
  if (port > 65535 || !link::ResolveIpv4(address, &to) ||
      !link::ConnectBlocking(socket_, to, port) ||
      !link::Watch(socket_, window_.hwnd(), FD_READ | FD_CLOSE)) {
    link::CloseSocket(socket_);
    socket_ = INVALID_SOCKET;
    return false;
  }
  connected_ = true;
  return true;
}

bool LinkClientSend(LinkClient* client, const uint8_t* data, int32_t length) {
  const SOCKET socket = client->socket_;
  if (socket == INVALID_SOCKET || !client->connected_) return false;
  if (GetCurrentThreadId() != client->thread_) ++link::g_foreign_sends;
  int32_t written = 0;
  while (written < length) {
    const int n = link::WriteSome(socket, data + written, length - written);
    if (n <= 0) return false;  // would-block included: Send never waits
    written += n;
  }
  return true;
}

void LinkClient::Disconnect() {
  CloseCurrent();
  connected_ = false;
}

int LinkClient::LocalPort() const {
  if (socket_ == INVALID_SOCKET) return 0;
  sockaddr_in local = {};
  int size = sizeof local;
  if (getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &size) != 0) return 0;
  return ntohs(local.sin_port);
}

void LinkClient::Bind(int event_index, EventHandler handler) {
  if (event_index >= 0 && event_index < kEventCount) handlers_[event_index] = handler;
}

void LinkClient::Raise(Event event) {
  if (handlers_[event] != nullptr) handlers_[event]();
}

link::BurstEnd LinkClient::RaiseBurst() {
  ByteString burst;
  const link::BurstEnd end = link::ReadOneBurst(socket_, &burst);
  if (!burst.empty()) {
    current_data_ = std::move(burst);
    Raise(kDataArrival);
    current_data_.clear();
  }
  return end;
}

void LinkClient::OnSocketEvent(SOCKET socket, WORD event, WORD /*error*/) {
  if (socket_ == INVALID_SOCKET || socket != socket_) return;  // a stray from a closed socket
  if (event == FD_READ) {
    RaiseBurst();
  } else if (event == FD_CLOSE) {
    // The close may overtake bytes not yet read; they are read first, a burst
    // per notification, so nothing the server sent is lost. The socket stays
    // open and connected.
    if (RaiseBurst() == link::BurstEnd::kCapped) {
      window_.Repost(socket, FD_CLOSE);
      return;
    }
    Raise(kDisconnected);
  }
}
