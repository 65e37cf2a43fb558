#include "link/socket_layer.h"

#include <ws2tcpip.h>

#include <cstdio>

namespace loopback {
namespace {

const wchar_t kNotifyClass[] = L"KestravoLinkNotify";

// The messages socket notifications come with, one per watch, taken in turn;
// and the one an endpoint posts to itself for work it deferred.
constexpr UINT kWorkMessage = WM_APP + 0x41;
constexpr UINT kFirstSocketMessage = WM_APP + 0x100;
constexpr UINT kLastSocketMessage = 0xBFFF;

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

NotifyWindow::NotifyWindow(HWND parent, Sink* sink)
    : sink_(sink), next_message_(kFirstSocketMessage) {
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
    if (msg >= kFirstSocketMessage && msg <= kLastSocketMessage) {
      self->sink_->OnSocketEvent(Watched{static_cast<SOCKET>(wparam), msg},
                                 WSAGETSELECTEVENT(lparam), WSAGETSELECTERROR(lparam));
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

Watched NotifyWindow::Watch(SOCKET socket, long events) {
  const UINT message = next_message_;
  next_message_ = message == kLastSocketMessage ? kFirstSocketMessage : message + 1;
  if (hwnd_ == nullptr || ::WSAAsyncSelect(socket, hwnd_, message, events) != 0) {
    return Watched{socket, 0};
  }
  return Watched{socket, message};
}

void NotifyWindow::Repost(const Watched& socket, WORD event) const {
  if (hwnd_ != nullptr) {
    PostMessageW(hwnd_, socket.message, static_cast<WPARAM>(socket.socket),
                 WSAMAKESELECTREPLY(event, 0));
  }
}

void NotifyWindow::PostDeferredWork() const {
  if (hwnd_ != nullptr) PostMessageW(hwnd_, kWorkMessage, 0, 0);
}

SOCKET OpenTcpSocket() { return ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP); }

void UnwatchAndClose(SOCKET socket) {
  if (socket == INVALID_SOCKET) return;
  // Leaves the socket non-blocking; what is already queued is dropped by the
  // endpoints, which match every notification against their live watches.
  ::WSAAsyncSelect(socket, nullptr, 0, 0);
  ::closesocket(socket);
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

bool SocketSource::Readable(size_t* count) {
  u_long readable = 0;
  if (::ioctlsocket(socket_, FIONREAD, &readable) != 0) return false;
  *count = readable;
  return true;
}

long SocketSource::Read(uint8_t* into, size_t size) {
  const int got = ::recv(socket_, reinterpret_cast<char*>(into), static_cast<int>(size), 0);
  if (got > 0) return got;
  if (got == 0) return kGone;
  return ::WSAGetLastError() == WSAEWOULDBLOCK ? kWouldBlock : kGone;
}

}  // namespace loopback
