// The shape of an answer key. The keys themselves are generated at build time
// from each build's map (answer_key.cmake) and hold hashes, never answers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace check {

// Why a wrong answer is wrong, when the checker can tell; each has a text.
enum class Nudge : uint8_t {
  kNone,  // a key entry with no nudge is the right answer
  kInsideRoutine,
  kInsideData,
  kByteOrder,
  kSwapped,
  kSwappedRoutines,
  kSwappedArguments,
  kPushOrder,
  kLinkCode,
  kCallerOfSend,
  kClickHandler,
  kCalledRoutine,
  kSendingHandler,
  kSendingButton,
  kCountsPushes,
  kOneRun,
  kOneRunsPushes,
  kStackCleanup,
  kSecondCopy,
  kValueInData,
  kSwappedRegisters,
  kShadowWithAlignment,
  kAlignmentAndShadow,
};

// One hashed value for one answer slot: the right one (kNone) or a known miss.
struct KeyEntry {
  uint8_t exercise;
  uint8_t slot;  // from 1, in the order of the exercise's answer format
  Nudge nudge;
  // Address slots: bytes from the symbol to the next one in the map, so that
  // an address inside the routine or datum is recognised. 0 for values.
  uint32_t size;
  // SHA-256 of "salt|exercise|slot|canonical value", the salt in lower-case hex.
  uint8_t hash[32];
};

struct AnswerKey {
  uint64_t image_base;  // the map's __image_base__
  uint8_t salt[32];     // SHA-256 of the build's exe
  const KeyEntry* entries;
  size_t count;
};

// A build of the program the checker knows answers for.
struct Build {
  const wchar_t* module;  // the exe's file name
  // False for a build that loads at a moving base: its absolute addresses
  // differ from run to run, so only module+offset answers can be checked.
  bool fixed_base;
  const AnswerKey* key;
};

extern const Build kBuilds[];
extern const size_t kBuildCount;

}  // namespace check
