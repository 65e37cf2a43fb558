#include "tests/support/pump.h"

#include <ws2tcpip.h>

namespace kvtest {

bool PumpUntil(const std::function<bool()>& done, int timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    // The queue may never run empty (a flood of read notifications): the
    // time is checked after every message too.
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      if (done()) return true;
      if (GetTickCount() - start >= static_cast<DWORD>(timeout_ms)) return false;
    }
    if (done()) return true;
    if (GetTickCount() - start >= static_cast<DWORD>(timeout_ms)) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

void PumpFor(int ms) {
  PumpUntil([] { return false; }, ms);
}

PostProbe::PostProbe() {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = &PostProbe::Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"KestravoTestProbe";
  RegisterClassW(&wc);  // fails harmlessly when already registered
  hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                          wc.hInstance, nullptr);
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

PostProbe::~PostProbe() { DestroyWindow(hwnd_); }

void PostProbe::Post() {
  seen_ = false;
  PostMessageW(hwnd_, WM_APP, 0, 0);
}

LRESULT CALLBACK PostProbe::Proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_APP) {
    if (auto* self = reinterpret_cast<PostProbe*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) {
      self->seen_ = true;
    }
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

void EnsureSocketLayer() {
  static bool started = false;
  if (!started) {
    WSADATA data;
    started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
}

RawSocket::RawSocket() {
  EnsureSocketLayer();
  socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
}

RawSocket::~RawSocket() { Close(); }

RawSocket::RawSocket(RawSocket&& other) noexcept : socket_(other.socket_) {
  other.socket_ = INVALID_SOCKET;
}

namespace {

sockaddr_in Loopback(int port, const char* address) {
  sockaddr_in at = {};
  at.sin_family = AF_INET;
  at.sin_port = htons(static_cast<u_short>(port));
  inet_pton(AF_INET, address, &at.sin_addr);
  return at;
}

}  // namespace

bool RawSocket::Connect(int port, const char* address) {
  const sockaddr_in to = Loopback(port, address);
  return ::connect(socket_, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
}

bool RawSocket::Listen(int port) {
  const sockaddr_in at = Loopback(port, "127.0.0.1");
  return ::bind(socket_, reinterpret_cast<const sockaddr*>(&at), sizeof at) == 0 &&
         ::listen(socket_, SOMAXCONN) == 0;
}

RawSocket RawSocket::Accept() { return RawSocket(::accept(socket_, nullptr, nullptr)); }

bool RawSocket::SendAll(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const int n = ::send(socket_, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

std::string RawSocket::Receive(size_t count, int timeout_ms) {
  std::string got;
  const DWORD start = GetTickCount();
  while (got.size() < count) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_, &readable);
    timeval wait = {0, 20000};
    if (::select(0, &readable, nullptr, nullptr, &wait) == 1) {
      char buffer[4096];
      const int n = ::recv(socket_, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      got.append(buffer, static_cast<size_t>(n));
    }
    if (GetTickCount() - start > static_cast<DWORD>(timeout_ms)) break;
  }
  return got;
}

StreamEnd RawSocket::AwaitEnd(int timeout_ms) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start <= static_cast<DWORD>(timeout_ms)) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_, &readable);
    timeval wait = {0, 20000};
    if (::select(0, &readable, nullptr, nullptr, &wait) != 1) continue;
    char buffer[4096];
    const int n = ::recv(socket_, buffer, sizeof buffer, 0);
    if (n == 0) return StreamEnd::kClosed;
    if (n < 0) return StreamEnd::kReset;
  }
  return StreamEnd::kStillOpen;
}

const char* Describe(StreamEnd end) {
  switch (end) {
    case StreamEnd::kClosed:
      return "closed";
    case StreamEnd::kReset:
      return "reset";
    default:
      return "still open";
  }
}

void RawSocket::ShutdownSend() { ::shutdown(socket_, SD_SEND); }

void RawSocket::Reset() {
  linger hard = {1, 0};
  ::setsockopt(socket_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
  Close();
}

void RawSocket::Close() {
  if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
  socket_ = INVALID_SOCKET;
}

int RawSocket::LocalPort() const {
  sockaddr_in local = {};
  int size = sizeof local;
  if (::getsockname(socket_, reinterpret_cast<sockaddr*>(&local), &size) != 0) return 0;
  return ntohs(local.sin_port);
}

}  // namespace kvtest
