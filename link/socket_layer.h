// Where the link meets the platform's sockets. Everything the two endpoints
// ask of Winsock goes through here; the rest of link/ is plain logic.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "link/byte_string.h"

namespace link {

// The message a socket notification arrives with on an endpoint's window,
// and the one an endpoint posts to itself for work it deferred.
constexpr UINT kSocketMessage = WM_APP + 0x40;
constexpr UINT kWorkMessage = WM_APP + 0x41;

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

// A hidden window that receives an endpoint's socket notifications on the
// GUI thread. A child of `parent`, or message-only when parent is null.
class NotifyWindow {
 public:
  class Sink {
   public:
    virtual void OnSocketEvent(SOCKET socket, WORD event, WORD error) = 0;
    virtual void OnDeferredWork() {}

   protected:
    ~Sink() = default;
  };

  NotifyWindow(HWND parent, Sink* sink);
  ~NotifyWindow();
  NotifyWindow(const NotifyWindow&) = delete;
  NotifyWindow& operator=(const NotifyWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  // Queues the notification again, behind what is already waiting.
  void Repost(SOCKET socket, WORD event) const;
  // Queues a call of the sink's OnDeferredWork behind what is already waiting.
  void PostDeferredWork() const;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

  HWND hwnd_ = nullptr;
  Sink* sink_;
};

SOCKET OpenTcpSocket();
void CloseSocket(SOCKET socket);
// Asks for notifications of `events` on `window`; the socket becomes
// non-blocking. Returns false when the platform refused.
bool Watch(SOCKET socket, HWND window, long events);
// Stops all notifications for the socket (already posted ones may still come).
void Unwatch(SOCKET socket);

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

enum class BurstEnd {
  kUnreadable,  // the readable count could not be asked for: ignore the notification
  kDrained,     // a read failed, would block or found the peer gone
  kCapped,      // `cap` bytes were read; the rest waits for the next notification
};

// One receive burst: the first read sized by the readable count, then
// `piece`-byte reads until a read fails, would block or finds the peer gone,
// or until `cap` bytes were read. Appends to `burst`.
BurstEnd ReadBurst(SOCKET socket, size_t piece, size_t cap, ByteString* burst);

}  // namespace link
