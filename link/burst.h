#pragma once

#include "link/socket_layer.h"

namespace link {

// Later reads of a burst take pieces of this size.
constexpr size_t kBurstPiece = 1024;

// One receive burst of an endpoint; false when the notification is to be
// ignored (the readable count could not be asked for).
inline bool ReadOneBurst(SOCKET socket, ByteString* burst) {
  return ReadBurst(socket, kBurstPiece, 0, burst);
}

}  // namespace link
