// One receive burst against scripted sources: what is asked for, what is
// kept, and where the burst ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/burst.h"

namespace {

using loopback::BurstEnd;
using loopback::BurstSource;

// A source that answers from a script: the readable count (or a failed
// query), then one entry per read: a number of bytes to hand out (cut to
// what was asked for), or kWouldBlock or kGone. Past the script, reads would
// block. The bytes handed out number on from 0, so order and loss show.
class ScriptedSource : public BurstSource {
 public:
  ScriptedSource(long readable, std::vector<long> reads)
      : readable_(readable), reads_(std::move(reads)) {}

  bool Readable(size_t* count) override {
    if (readable_ < 0) return false;
    *count = static_cast<size_t>(readable_);
    return true;
  }

  long Read(uint8_t* into, size_t size) override {
    asked_.push_back(size);
    if (next_ == reads_.size()) return kWouldBlock;
    long n = reads_[next_++];
    if (n <= 0) return n;
    if (static_cast<size_t>(n) > size) n = static_cast<long>(size);
    for (long i = 0; i < n; ++i) into[i] = static_cast<uint8_t>(handed_out_++);
    return n;
  }

  const std::vector<size_t>& asked() const { return asked_; }

 private:
  long readable_;
  std::vector<long> reads_;
  size_t next_ = 0;
  size_t handed_out_ = 0;
  std::vector<size_t> asked_;
};

ByteString Numbered(size_t count) {
  ByteString bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i);
  return bytes;
}

const char* Name(BurstEnd end) {
  switch (end) {
    case BurstEnd::kUnreadable:
      return "unreadable";
    case BurstEnd::kDrained:
      return "drained";
    case BurstEnd::kPeerGone:
      return "peer gone";
    default:
      return "capped";
  }
}

constexpr long kBlock = BurstSource::kWouldBlock;
constexpr long kGone = BurstSource::kGone;
constexpr long kPiece = static_cast<long>(loopback::kBurstPiece);
constexpr size_t kCap = loopback::kBurstCap;

TEST(BurstTest, ReadsUntilNothingIsLeftOrTheCap) {
  const struct {
    const char* what;
    long readable;
    std::vector<long> reads;
    std::vector<size_t> asked;
    size_t kept;
    BurstEnd end;
  } cases[] = {
      {"one read takes what was readable", 4, {4}, {4, kPiece}, 4, BurstEnd::kDrained},
      {"nothing said readable still reads one", 0, {1}, {1, kPiece}, 1, BurstEnd::kDrained},
      {"a notification that finds nothing", 0, {kBlock}, {1}, 0, BurstEnd::kDrained},
      // Bytes that came in after the count was taken: the later pieces come
      // back short and every byte of them is kept.
      {"short later reads keep their bytes", 5, {5, 300, 7}, {5, kPiece, kPiece, kPiece}, 312,
       BurstEnd::kDrained},
      {"the first read comes back short", 900, {600, 300}, {900, kPiece, kPiece}, 900,
       BurstEnd::kDrained},
      {"the end of the stream after bytes", 10, {10, kGone}, {10, kPiece}, 10, BurstEnd::kPeerGone},
      {"a reset before any byte", 0, {kGone}, {1}, 0, BurstEnd::kPeerGone},
      {"more readable than the cap", 5000, {5000}, {kCap}, kCap, BurstEnd::kCapped},
      {"the cap cuts the last piece", 1500, {1500, kPiece}, {1500, kCap - 1500}, kCap,
       BurstEnd::kCapped},
      {"a short piece right under the cap", 1500, {1500, 500, 100},
       {1500, kCap - 1500, kCap - 2000}, kCap, BurstEnd::kCapped},
      {"the count cannot be asked for", -1, {4}, {}, 0, BurstEnd::kUnreadable},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedSource source(c.readable, c.reads);
    ByteString burst;
    const BurstEnd end = loopback::ReadOneBurst(source, &burst);
    EXPECT_STREQ(Name(end), Name(c.end));
    EXPECT_EQ(source.asked(), c.asked);
    EXPECT_EQ(burst, Numbered(c.kept));
  }
}

TEST(BurstTest, AppendsToWhatTheBurstAlreadyHolds) {
  ScriptedSource source(3, {3});
  ByteString burst = {0xAA};
  loopback::ReadOneBurst(source, &burst);
  EXPECT_EQ(burst, (ByteString{0xAA, 0, 1, 2}));
}

}  // namespace
