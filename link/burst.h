#pragma once

#include "link/socket_layer.h"

namespace link {

// Later reads of a burst take pieces of this size.
constexpr size_t kBurstPiece = 1024;
// The most one burst takes. A peer that sends faster than the program logs
// would otherwise keep the loop inside one notification while the burst grows
// without bound; the rest stays in the socket, and the read notification that
// every recv re-arms brings it in the next burst, in order. Logging one burst
// is what a button press waits for during a flood, so the cap is small: two
// pieces, a 4,096-digit line.
constexpr size_t kBurstCap = 2 * kBurstPiece;

inline BurstEnd ReadOneBurst(SOCKET socket, ByteString* burst) {
  return ReadBurst(socket, kBurstPiece, kBurstCap, burst);
}

}  // namespace link
