// Reading answer words and judging them against a build's answer key.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/check/answer_key.h"
#include "tools/check/exercises.h"

namespace check {

constexpr size_t kMaxWordLength = 64;

// One answer word, read by its slot's kind.
struct Value {
  Kind kind = Kind::kWord;
  // Addresses: the build named by MODULE+offset, or -1 for an absolute address.
  int build = -1;
  uint64_t number = 0;   // an address, an offset or a number
  std::string text;      // words and hex lines, in canonical form
};

// Reads `word` for a slot of `kind`. On bad input returns false and says why
// in `reason` (the end of a sentence that starts with the word).
bool ReadWord(const std::wstring& word, Kind kind, Value* value, Text* reason);

// How to write a value of `kind`, for messages.
const Text& KindHint(Kind kind);

struct Verdict {
  bool right = false;
  Nudge nudge = Nudge::kNone;
};

// Judges the answer words of `exercise`. False with `error` set when the
// words cannot be judged (they name two builds, say).
bool Judge(const Exercise& exercise, const std::vector<Value>& values, Verdict* verdict,
           Text* error);

}  // namespace check
