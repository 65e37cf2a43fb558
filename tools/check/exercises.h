// The exercises as the learner sees them: titles, answer formats and the
// texts of the nudges. The answers are not here (see answers.cmake).
#pragma once

#include <string>
#include <vector>

#include "tools/check/answer_key.h"

namespace check {

// Every message is printed in English, then in Simplified Chinese.
struct Text {
  std::wstring en;
  std::wstring zh;
};

enum class Kind {
  kAddress,      // of a routine (or the image itself)
  kDataAddress,  // of a datum: only the nudge for "inside" differs
  kNumber,
  kWord,
  kHex,  // a line of the program's hex log
};

struct Slot {
  const wchar_t* name;  // the placeholder in the answer format
  Kind kind;
};

struct Exercise {
  int number;
  Text title;
  Text help;  // what the answer words mean
  std::vector<Slot> slots;
  // Said when two answer words hold each other's right values.
  Nudge swapped = Nudge::kSwapped;
  // The build an address without a module name refers to; null: the first.
  const wchar_t* build = nullptr;
};

const std::vector<Exercise>& Exercises();
const Exercise* FindExercise(int number);
// The answer format: the slot placeholders, e.g. "ADDRESS A B".
std::wstring Format(const Exercise& exercise);
const Text& NudgeText(Nudge nudge);

}  // namespace check
