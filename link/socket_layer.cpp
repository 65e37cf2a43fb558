#include "link/socket_layer.h"

#include <ws2tcpip.h>

#include <cstdio>

namespace link {
namespace {

const wchar_t kNotifyClass[] = L"KestravoLinkNotify";

void RegisterNotifyClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kNotifyClass;
  registered = RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

SocketLayer::SocketLayer() {
  WSADATA data;
  ready_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

SocketLayer::~SocketLayer() {
  if (ready_) WSACleanup();
}

NotifyWindow::NotifyWindow(HWND parent, Sink* sink) : sink_(sink) {
  RegisterNotifyClass();
  hwnd_ = CreateWindowExW(0, kNotifyClass, L"", parent != nullptr ? WS_CHILD : 0, 0, 0, 0, 0,
                          parent != nullptr ? parent : HWND_MESSAGE, nullptr,
                          GetModuleHandleW(nullptr), nullptr);
  if (hwnd_ != nullptr) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&NotifyWindow::Proc));
  }
}

NotifyWindow::~NotifyWindow() {
  if (hwnd_ != nullptr && IsWindow(hwnd_)) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

LRESULT CALLBACK NotifyWindow::Proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<NotifyWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self != nullptr) {
    if (msg == kSocketMessage) {
      self->sink_->OnSocketEvent(static_cast<SOCKET>(wparam), WSAGETSELECTEVENT(lparam),
                                 WSAGETSELECTERROR(lparam));
      return 0;
    }
    if (msg == kWorkMessage) {
      self->sink_->OnDeferredWork();
      return 0;
    }
    if (msg == WM_NCDESTROY) {
      // Destroyed with its parent: the owner must not destroy it again.
      self->hwnd_ = nullptr;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    }
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

void NotifyWindow::Repost(SOCKET socket, WORD event) const {
  if (hwnd_ != nullptr) {
    PostMessageW(hwnd_, kSocketMessage, static_cast<WPARAM>(socket), WSAMAKESELECTREPLY(event, 0));
  }
}

void NotifyWindow::PostDeferredWork() const {
  if (hwnd_ != nullptr) PostMessageW(hwnd_, kWorkMessage, 0, 0);
}

SOCKET OpenTcpSocket() { return ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP); }

void CloseSocket(SOCKET socket) {
  if (socket != INVALID_SOCKET) ::closesocket(socket);
}

bool Watch(SOCKET socket, HWND window, long events) {
  return window != nullptr && ::WSAAsyncSelect(socket, window, kSocketMessage, events) == 0;
}

void Unwatch(SOCKET socket) {
  // Leaves the socket non-blocking; what is already queued is dropped by the
  // endpoints, which match every notification against their live sockets.
  ::WSAAsyncSelect(socket, nullptr, 0, 0);
}

bool ResolveIpv4(const std::string& address, in_addr* out) {
  if (address.empty()) return false;
  if (::inet_pton(AF_INET, address.c_str(), out) == 1) return true;
  addrinfo hints = {};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(address.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
    return false;
  }
  *out = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  ::freeaddrinfo(found);
  return true;
}

bool ConnectBlocking(SOCKET socket, in_addr address, int port) {
  sockaddr_in to = {};
  to.sin_family = AF_INET;
  to.sin_addr = address;
  to.sin_port = htons(static_cast<u_short>(port));
  return ::connect(socket, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
}

bool BindAndListenAny(SOCKET socket, int port) {
  sockaddr_in at = {};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_ANY);
  at.sin_port = htons(static_cast<u_short>(port));
  return ::bind(socket, reinterpret_cast<const sockaddr*>(&at), sizeof at) == 0 &&
         ::listen(socket, SOMAXCONN) == 0;
}

SOCKET AcceptPeer(SOCKET listener, std::string* name) {
  sockaddr_in from = {};
  int size = sizeof from;
  SOCKET socket = ::accept(listener, reinterpret_cast<sockaddr*>(&from), &size);
  if (socket == INVALID_SOCKET) return INVALID_SOCKET;
  char dotted[INET_ADDRSTRLEN];
  if (from.sin_family != AF_INET ||
      ::inet_ntop(AF_INET, &from.sin_addr, dotted, sizeof dotted) == nullptr) {
    ::closesocket(socket);
    return INVALID_SOCKET;
  }
  char text[INET_ADDRSTRLEN + 8];
  std::snprintf(text, sizeof text, "%s:%d", dotted, static_cast<int>(ntohs(from.sin_port)));
  *name = text;
  return socket;
}

BurstEnd ReadBurst(SOCKET socket, size_t piece, size_t cap, ByteString* burst) {
  u_long readable = 0;
  if (::ioctlsocket(socket, FIONREAD, &readable) != 0) return BurstEnd::kUnreadable;
  size_t want = readable < 1 ? 1 : readable;
  size_t taken = 0;
  while (taken < cap) {
    if (want > cap - taken) want = cap - taken;
    const size_t at = burst->size();
    burst->resize(at + want);
    const int got = ::recv(socket, reinterpret_cast<char*>(burst->data() + at),
                           static_cast<int>(want), 0);
    burst->resize(at + (got > 0 ? static_cast<size_t>(got) : 0));
    if (got <= 0) return BurstEnd::kDrained;
    taken += static_cast<size_t>(got);
    want = piece;
  }
  return BurstEnd::kCapped;
}

}  // namespace link
