// Where the link meets the platform's sockets. Everything the two endpoints
// ask of Winsock goes through here.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "link/burst.h"
#include "link/byte_string.h"

namespace loopback {

class SocketLayer {
 public:
  // Initialises the platform socket layer; released again by the destructor
  // only if this instance initialised it.
  SocketLayer();
  ~SocketLayer();
  SocketLayer(const SocketLayer&) = delete;
  SocketLayer& operator=(const SocketLayer&) = delete;

  bool ready() const { return ready_; }

 private:
  bool ready_ = false;
};

// A socket as its notifications name it: the handle and the message they
// come with. The platform hands a closed socket's handle value out again at
// once, and notifications of the closed socket may still be queued; the
// message tells the two apart, since every watch takes a message of its own.
struct Watched {
  SOCKET socket = INVALID_SOCKET;
  UINT message = 0;

  bool open() const { return socket != INVALID_SOCKET; }
  bool operator==(const Watched& other) const {
    return socket == other.socket && message == other.message;
  }
  bool operator!=(const Watched& other) const { return !(*this == other); }
};

// A hidden window that receives an endpoint's socket notifications on the
// GUI thread. A child of `parent`, or message-only when parent is null.
class NotifyWindow {
 public:
  class Sink {
   public:
    virtual void OnSocketEvent(const Watched& from, WORD event, WORD error) = 0;
    virtual void OnDeferredWork() {}

   protected:
    ~Sink() = default;
  };

  NotifyWindow(HWND parent, Sink* sink);
  ~NotifyWindow();
  NotifyWindow(const NotifyWindow&) = delete;
  NotifyWindow& operator=(const NotifyWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  // Asks for notifications of `events` on a message not in use by any other
  // socket of this window; the socket becomes non-blocking. The result's
  // message is 0 when the platform refused.
  Watched Watch(SOCKET socket, long events);
  // Queues the notification again, behind what is already waiting.
  void Repost(const Watched& socket, WORD event) const;
  // Queues a call of the sink's OnDeferredWork behind what is already waiting.
  void PostDeferredWork() const;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

  HWND hwnd_ = nullptr;
  Sink* sink_;
  UINT next_message_;
};

SOCKET OpenTcpSocket();
// Stops the socket's notifications (those already queued may still come),
// then closes it.
void UnwatchAndClose(SOCKET socket);

// Resolves a dotted-decimal literal or a host name to its first IPv4 address.
bool ResolveIpv4(const std::string& address, in_addr* out);
// Blocks until the handshake ends. Port must be 1..65535.
bool ConnectBlocking(SOCKET socket, in_addr address, int port);
bool BindAndListenAny(SOCKET socket, int port);
// Accepts one waiting connection and forms its "%s:%d" peer name from the
// address that accept reports (still known when the peer has already reset).
SOCKET AcceptPeer(SOCKET listener, std::string* name);

// One write of what remains; the result of the platform's send. Inlined so
// that nothing of the program stands between an endpoint and the platform.
__attribute__((always_inline)) inline int WriteSome(SOCKET socket, const uint8_t* data,
                                                    int length) {
  return ::send(socket, reinterpret_cast<const char*>(data), length, 0);
}

// A connected socket as the source of a burst.
class SocketSource final : public BurstSource {
 public:
  explicit SocketSource(SOCKET socket) : socket_(socket) {}
  bool Readable(size_t* count) override;
  long Read(uint8_t* into, size_t size) override;

 private:
  SOCKET socket_;
};

inline BurstEnd ReadOneBurst(SOCKET socket, ByteString* burst) {
  SocketSource source(socket);
  return ReadOneBurst(source, burst);
}

}  // namespace loopback
