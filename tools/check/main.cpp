// kestravo-check: tells a learner whether an answer to one of the course's
// exercises is right, without ever printing an answer.
//
//   kestravo-check                  version and the list of exercises
//   kestravo-check N                exercise N's answer format (exit 2)
//   kestravo-check N ANSWER...      "Right." (exit 0) or "Not yet." (exit 1)
//
// Bad input exits with 2 and says which word is wrong and what was expected.
#include <windows.h>

#include <string>
#include <vector>

#include "kestravo_version.h"
#include "tools/check/exercises.h"
#include "tools/check/judge.h"

namespace {

using check::Text;

enum Status { kRight = 0, kNotYet = 1, kBadInput = 2 };

// A console gets UTF-16 through WriteConsoleW (the code page does not
// matter); a pipe or a file gets UTF-8.
class Output {
 public:
  explicit Output(DWORD which) : handle_(GetStdHandle(which)) {
    DWORD mode = 0;
    console_ = GetConsoleMode(handle_, &mode) != 0;
  }

  void Line(const std::wstring& text) {
    const std::wstring line = text + L"\r\n";
    if (handle_ == nullptr || handle_ == INVALID_HANDLE_VALUE) return;
    if (console_) {
      DWORD written = 0;
      WriteConsoleW(handle_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      return;
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                         nullptr, 0, nullptr, nullptr);
    if (size <= 0) return;
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), &bytes[0], size,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }

  void Say(const Text& text) {
    Line(text.en);
    Line(text.zh);
  }

 private:
  HANDLE handle_;
  bool console_ = false;
};

// A word as it may be echoed: control characters would act on the terminal,
// and a long word would bury the message.
std::wstring Shown(const std::wstring& word) {
  const size_t kShown = 24;
  std::wstring shown;
  for (size_t i = 0; i < word.size() && i < kShown; ++i) {
    shown += word[i] < 0x20 || word[i] == 0x7F ? L'?' : word[i];
  }
  if (word.size() > kShown) shown += L"…";
  return shown;
}

std::wstring Number(size_t n) { return std::to_wstring(n); }

void SayExercise(Output& out, const check::Exercise& exercise) {
  const std::wstring number = Number(static_cast<size_t>(exercise.number));
  const std::wstring format = check::Format(exercise);
  out.Say({number + L". " + exercise.title.en + L": " + format,
           number + L". " + exercise.title.zh + L"：" + format});
  out.Say({L"   " + exercise.help.en, L"   " + exercise.help.zh});
}

void SayUsage(Output& out) {
  out.Say({L"Usage: kestravo-check N ANSWER...   (N: the exercise number)",
           L"用法：kestravo-check N 答案...   （N：练习编号）"});
}

int List() {
  Output out(STD_OUTPUT_HANDLE);
  out.Say({L"kestravo-check " KESTRAVO_VERSION
           L": checks your answers to the Kestravo exercises without showing any answer.",
           L"kestravo-check " KESTRAVO_VERSION L"：检查你对 Kestravo 练习的答案，但不会显示任何答案。"});
  SayUsage(out);
  out.Say(check::KindHint(check::Kind::kAddress));
  out.Say(check::KindHint(check::Kind::kNumber));
  out.Line(L"");
  for (const check::Exercise& exercise : check::Exercises()) SayExercise(out, exercise);
  return kRight;
}

// The exercise number must be written plainly: "3", not "0x3" or "+3".
const check::Exercise* ReadExercise(const std::wstring& word, Output& err) {
  if (word.size() > check::kMaxWordLength) {
    err.Say({L"The exercise number \"" + Shown(word) + L"\" is longer than 64 characters.",
             L"练习编号“" + Shown(word) + L"”超过 64 个字符。"});
    SayUsage(err);
    return nullptr;
  }
  bool plain = !word.empty();
  size_t number = 0;
  for (wchar_t c : word) {
    plain = plain && c >= L'0' && c <= L'9';
    if (plain && number < 100000) number = number * 10 + static_cast<size_t>(c - L'0');
  }
  if (!plain) {
    err.Say({L"The exercise number \"" + Shown(word) +
                 L"\" is not a plain decimal number (like 3).",
             L"练习编号“" + Shown(word) + L"”不是普通的十进制数（如 3）。"});
    SayUsage(err);
    return nullptr;
  }
  const check::Exercise* exercise = check::FindExercise(static_cast<int>(number));
  if (exercise == nullptr) {
    err.Say({L"There is no exercise " + Shown(word) +
                 L". Run kestravo-check without arguments to list the exercises.",
             L"没有练习 " + Shown(word) + L"。不带参数运行 kestravo-check 可列出所有练习。"});
  }
  return exercise;
}

void SayFormat(Output& out, const check::Exercise& exercise) {
  const std::wstring line =
      L"kestravo-check " + Number(static_cast<size_t>(exercise.number)) + L" " +
      check::Format(exercise);
  out.Say({L"Answer format: " + line, L"答案格式：" + line});
}

int Check(const std::vector<std::wstring>& args) {
  Output err(STD_ERROR_HANDLE);
  const check::Exercise* exercise = ReadExercise(args[0], err);
  if (exercise == nullptr) return kBadInput;
  const std::wstring number = Number(static_cast<size_t>(exercise->number));
  const size_t given = args.size() - 1;
  const size_t wanted = exercise->slots.size();
  if (given == 0) {
    err.Say({L"Exercise " + number + L" needs an answer after its number.",
             L"练习 " + number + L" 需要在编号后给出答案。"});
  } else if (given != wanted) {
    err.Say({L"Exercise " + number + L" takes " + Number(wanted) + L" answer word" +
                 (wanted == 1 ? L"" : L"s") + L" (" + check::Format(*exercise) + L"); you gave " +
                 Number(given) + L".",
             L"练习 " + number + L" 需要 " + Number(wanted) + L" 个答案词（" +
                 check::Format(*exercise) + L"）；你给了 " + Number(given) + L" 个。"});
  }
  if (given != wanted) {
    SayExercise(err, *exercise);
    return kBadInput;
  }

  std::vector<check::Value> values(wanted);
  for (size_t i = 0; i < wanted; ++i) {
    const check::Slot& slot = exercise->slots[i];
    Text reason;
    if (!check::ReadWord(args[i + 1], slot.kind, &values[i], &reason)) {
      const std::wstring word = Shown(args[i + 1]);
      err.Say({L"Exercise " + number + L", answer word " + Number(i + 1) + L" (" + slot.name +
                   L"): \"" + word + L"\" " + reason.en,
               L"练习 " + number + L" 第 " + Number(i + 1) + L" 个答案词（" + slot.name + L"）：“" +
                   word + L"”" + reason.zh});
      err.Say(check::KindHint(slot.kind));
      SayFormat(err, *exercise);
      return kBadInput;
    }
  }

  check::Verdict verdict;
  Text error;
  if (!check::Judge(*exercise, values, &verdict, &error)) {
    err.Say(error);
    return kBadInput;
  }
  Output out(STD_OUTPUT_HANDLE);
  if (verdict.right) {
    out.Say({L"Right.", L"正确。"});
    return kRight;
  }
  out.Say({L"Not yet.", L"还不对。"});
  if (verdict.nudge != check::Nudge::kNone) out.Say(check::NudgeText(verdict.nudge));
  return kNotYet;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  try {
    if (argc <= 1) return List();
    return Check(std::vector<std::wstring>(argv + 1, argv + argc));
  } catch (...) {
    Output(STD_ERROR_HANDLE).Say({L"kestravo-check failed unexpectedly.", L"kestravo-check 意外出错。"});
    return kBadInput;
  }
}
