// Test helpers on the Windows side: running the thread's message loop until
// something happened, and plain blocking sockets that act as peers.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace kvtest {

// Dispatches this thread's messages until `done` holds or `timeout_ms` ran out.
bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 5000);
// Dispatches messages for a while, for checks that something does not happen.
void PumpFor(int ms);

// A window of the test's own that notes when a message posted to it was
// dispatched: a posted message waits behind everything queued before it.
class PostProbe {
 public:
  PostProbe();
  ~PostProbe();
  PostProbe(const PostProbe&) = delete;
  PostProbe& operator=(const PostProbe&) = delete;
  void Post();
  bool seen() const { return seen_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  HWND hwnd_ = nullptr;
  bool seen_ = false;
};

// How a stream ended for the side that reads it.
enum class StreamEnd { kClosed, kReset, kStillOpen };
const char* Describe(StreamEnd end);
inline void PrintTo(StreamEnd end, std::ostream* out) { *out << Describe(end); }

// A blocking TCP socket of the test's own.
class RawSocket {
 public:
  RawSocket();
  ~RawSocket();
  RawSocket(RawSocket&& other) noexcept;
  RawSocket(const RawSocket&) = delete;
  RawSocket& operator=(const RawSocket&) = delete;

  bool Connect(int port, const char* address = "127.0.0.1");
  bool Listen(int port);
  RawSocket Accept();
  bool SendAll(const std::string& bytes);
  // Reads until `count` bytes arrived, the peer closed or `timeout_ms` passed.
  std::string Receive(size_t count, int timeout_ms = 5000);
  // Reads and drops whatever comes until the stream ends or `timeout_ms`
  // passed: how it ended, kStillOpen when it did not.
  StreamEnd AwaitEnd(int timeout_ms);
  void ShutdownSend();
  // Closes with linger 0: the peer sees a reset instead of an orderly close.
  void Reset();
  void Close();
  int LocalPort() const;
  SOCKET handle() const { return socket_; }

 private:
  explicit RawSocket(SOCKET socket) : socket_(socket) {}
  SOCKET socket_;
};

// Starts the socket layer for the test process (once).
void EnsureSocketLayer();

}  // namespace kvtest
