#include "link/burst.h"

namespace loopback {

BurstEnd ReadBurst(BurstSource& source, size_t piece, size_t cap, ByteString* burst) {
  size_t readable = 0;
  if (!source.Readable(&readable)) return BurstEnd::kUnreadable;
  size_t want = readable < 1 ? 1 : readable;
  size_t taken = 0;
  while (taken < cap) {
    if (want > cap - taken) want = cap - taken;
    const size_t at = burst->size();
    burst->resize(at + want);
    const long got = source.Read(burst->data() + at, want);
    burst->resize(at + (got > 0 ? static_cast<size_t>(got) : 0));
    if (got == BurstSource::kWouldBlock) return BurstEnd::kDrained;
    if (got <= 0) return BurstEnd::kPeerGone;
    taken += static_cast<size_t>(got);
    want = piece;
  }
  return BurstEnd::kCapped;
}

}  // namespace loopback
