// One receive burst, apart from where its bytes come from. Portable: the
// native build tests it under the sanitizers against scripted sources.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/byte_string.h"

namespace loopback {

// Later reads of a burst take pieces of this size.
constexpr size_t kBurstPiece = 1024;
// The most one burst takes. A peer that sends faster than the program logs
// would otherwise keep the loop inside one notification while the burst grows
// without bound; the rest stays in the socket, and the read notification that
// every read re-arms brings it in the next burst, in order. Logging one burst
// is what a button press waits for during a flood, and the log box wraps a
// line at a fixed cost per character only up to about 4,000 characters
// (measured under Wine: a line of 4 KiB of bytes costs 1.6 times as much per
// character as one of 2 KiB). So the cap is the largest at the lowest cost:
// two pieces, a 4,096-digit line.
constexpr size_t kBurstCap = 2 * kBurstPiece;

// Where a burst's bytes come from: a socket, or a script in the tests.
class BurstSource {
 public:
  // What a read that took no bytes found.
  static constexpr long kWouldBlock = -1;  // nothing there now
  static constexpr long kGone = 0;         // the end of the stream, or a reset

  // How many bytes can be read now; false when that cannot be asked.
  virtual bool Readable(size_t* count) = 0;
  // Reads up to `size` bytes into `into`: how many (at least 1), or one of
  // the two values above.
  virtual long Read(uint8_t* into, size_t size) = 0;

 protected:
  ~BurstSource() = default;
};

enum class BurstEnd {
  kUnreadable,  // the readable count could not be asked for: ignore the notification
  kDrained,     // a read would block: the burst holds everything there was
  kPeerGone,    // a read found the end of the stream or a reset
  kCapped,      // `cap` bytes were read; the rest waits for the next notification
};

// One receive burst: the first read sized by the readable count (at least
// 1), then `piece`-byte reads until a read takes nothing or `cap` bytes were
// read. Appends every byte read to `burst`, in order.
BurstEnd ReadBurst(BurstSource& source, size_t piece, size_t cap, ByteString* burst);

inline BurstEnd ReadOneBurst(BurstSource& source, ByteString* burst) {
  return ReadBurst(source, kBurstPiece, kBurstCap, burst);
}

}  // namespace loopback
