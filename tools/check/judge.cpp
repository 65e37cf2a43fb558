#include "tools/check/judge.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <optional>

namespace check {
namespace {

enum class Parse { kOk, kBad, kTooLarge };

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
int HexDigit(wchar_t c) {
  if (IsDigit(c)) return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}
wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; }

bool StartsWithHexPrefix(const std::wstring& s) {
  return s.size() >= 2 && s[0] == L'0' && (s[1] == L'x' || s[1] == L'X');
}

Parse ParseHex(const std::wstring& s, uint64_t max, uint64_t* out) {
  if (s.empty()) return Parse::kBad;
  uint64_t value = 0;
  bool too_large = false;
  for (wchar_t c : s) {
    const int digit = HexDigit(c);
    if (digit < 0) return Parse::kBad;
    if (value > (max - static_cast<uint64_t>(digit)) / 16) too_large = true;
    if (!too_large) value = value * 16 + static_cast<uint64_t>(digit);
  }
  if (too_large) return Parse::kTooLarge;
  *out = value;
  return Parse::kOk;
}

Parse ParseDecimal(const std::wstring& s, uint64_t max, uint64_t* out) {
  if (s.empty()) return Parse::kBad;
  uint64_t value = 0;
  bool too_large = false;
  for (wchar_t c : s) {
    if (!IsDigit(c)) return Parse::kBad;
    const uint64_t digit = static_cast<uint64_t>(c - L'0');
    if (value > (max - digit) / 10) too_large = true;
    if (!too_large) value = value * 10 + digit;
  }
  if (too_large) return Parse::kTooLarge;
  *out = value;
  return Parse::kOk;
}

// Decimal, or hex after 0x.
Parse ParseNumber(const std::wstring& s, uint64_t* out) {
  if (StartsWithHexPrefix(s)) return ParseHex(s.substr(2), 0xFFFFFFFFu, out);
  return ParseDecimal(s, 0xFFFFFFFFu, out);
}

bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// The build whose exe is `name`, with or without ".exe"; -1 if none.
int FindModule(const std::wstring& name) {
  for (size_t i = 0; i < kBuildCount; ++i) {
    const std::wstring module = kBuilds[i].module;
    const std::wstring stem = module.substr(0, module.rfind(L'.'));
    if (SameIgnoringCase(name, module) || SameIgnoringCase(name, stem)) return static_cast<int>(i);
  }
  return -1;
}

std::wstring KnownModules() {
  std::wstring names;
  for (size_t i = 0; i < kBuildCount; ++i) {
    if (!names.empty()) names += L", ";
    names += kBuilds[i].module;
  }
  return names;
}

const Text kNotAddress = {L"is not an address.", L"不是地址。"};
const Text kNotNumber = {L"is not a number.", L"不是数字。"};
const Text kNegative = {L"is negative; only numbers from 0 up are answers here.",
                        L"是负数；这里的答案都是 0 或更大的数。"};
const Text kTooLarge = {L"is too large.", L"太大了。"};
const Text kNotWord = {L"is not a word.", L"不是单词。"};
const Text kNotHex = {L"is not a hex line.", L"不是十六进制行。"};
const Text kOddHex = {L"has an odd number of hex digits; the log writes two for each byte.",
                      L"十六进制数字的个数是奇数；日志中每个字节写成两位。"};
const Text kTooLong = {L"is longer than 64 characters.", L"超过 64 个字符。"};

bool ReadAddress(const std::wstring& word, Value* value, Text* reason) {
  if (!word.empty() && word[0] == L'-') {
    *reason = kNegative;
    return false;
  }
  std::wstring digits = word;
  uint64_t max = ~uint64_t{0};
  const size_t plus = word.find(L'+');
  if (plus != std::wstring::npos) {
    value->build = FindModule(word.substr(0, plus));
    if (value->build < 0) {
      *reason = {L"names a module this checker does not know; it knows " + KnownModules() + L".",
                 L"中的模块名无法识别；可识别的模块：" + KnownModules() + L"。"};
      return false;
    }
    digits = word.substr(plus + 1);
    max = 0xFFFFFFFFu;  // an offset within one image
  }
  if (StartsWithHexPrefix(digits)) digits = digits.substr(2);
  switch (ParseHex(digits, max, &value->number)) {
    case Parse::kOk: return true;
    case Parse::kTooLarge: *reason = kTooLarge; return false;
    case Parse::kBad: break;
  }
  *reason = kNotAddress;
  return false;
}

bool ReadNumber(const std::wstring& word, Value* value, Text* reason) {
  uint64_t ignored = 0;
  if (!word.empty() && word[0] == L'-' && ParseNumber(word.substr(1), &ignored) != Parse::kBad) {
    *reason = kNegative;
    return false;
  }
  switch (ParseNumber(word, &value->number)) {
    case Parse::kOk: value->text = std::to_string(value->number); return true;
    case Parse::kTooLarge: *reason = kTooLarge; return false;
    case Parse::kBad: break;
  }
  *reason = kNotNumber;
  return false;
}

bool ReadPlainWord(const std::wstring& word, Value* value, Text* reason) {
  // Disassemblers in AT&T syntax write registers as %es.
  const size_t start = !word.empty() && word[0] == L'%' ? 1 : 0;
  bool ok = word.size() > start && IsLetter(word[start]);
  for (size_t i = start; ok && i < word.size(); ++i) {
    ok = IsLetter(word[i]) || IsDigit(word[i]) || word[i] == L'_';
    value->text += static_cast<char>(Lower(word[i]));
  }
  if (!ok) *reason = kNotWord;
  return ok;
}

bool ReadHexLine(const std::wstring& word, Value* value, Text* reason) {
  for (wchar_t c : word) {
    if (HexDigit(c) < 0) {
      *reason = kNotHex;
      return false;
    }
    value->text += static_cast<char>(c >= L'a' ? c - 32 : c);
  }
  if (word.empty()) *reason = kNotHex;
  if (word.size() % 2 != 0) *reason = kOddHex;
  return !word.empty() && word.size() % 2 == 0;
}

// SHA-256 through the system's own implementation (CNG).
class Sha256 {
 public:
  Sha256() {
    open_ = BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM,
                                                       nullptr, 0));
  }
  ~Sha256() {
    if (open_) BCryptCloseAlgorithmProvider(algorithm_, 0);
  }
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  bool Hash(const std::string& input, uint8_t out[32]) {
    if (!open_) return false;
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm_, &hash, nullptr, 0, nullptr, 0, 0))) {
      return false;
    }
    std::string bytes = input;  // BCryptHashData takes a non-const pointer
    const bool ok =
        BCRYPT_SUCCESS(BCryptHashData(hash, reinterpret_cast<PUCHAR>(&bytes[0]),
                                      static_cast<ULONG>(bytes.size()), 0)) &&
        BCRYPT_SUCCESS(BCryptFinishHash(hash, out, 32, 0));
    BCryptDestroyHash(hash);
    return ok;
  }

 private:
  BCRYPT_ALG_HANDLE algorithm_ = nullptr;
  bool open_ = false;
};

std::string Hex8(uint32_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4) text[static_cast<size_t>(i)] = kDigits[value & 15];
  return text;
}

uint32_t ByteSwap(uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

bool IsAddress(Kind kind) { return kind == Kind::kAddress || kind == Kind::kDataAddress; }

// Hashes canonical values the way answer_key.cmake does, for one exercise.
class Judging {
 public:
  Judging(const Exercise& exercise, const AnswerKey& key) : exercise_(exercise), key_(key) {
    static const char kDigits[] = "0123456789abcdef";
    for (uint8_t byte : key.salt) {
      salt_ += kDigits[byte >> 4];
      salt_ += kDigits[byte & 15];
    }
  }

  bool failed() const { return failed_; }

  bool Matches(const KeyEntry& entry, const uint8_t hash[32]) const {
    return entry.exercise == exercise_.number && std::memcmp(entry.hash, hash, 32) == 0;
  }

  void Hash(size_t slot, const std::string& canonical, uint8_t out[32]) {
    const std::string input = salt_ + "|" + std::to_string(exercise_.number) + "|" +
                              std::to_string(slot) + "|" + canonical;
    if (!sha_.Hash(input, out)) failed_ = true;
  }

  // The right answer's entry for `slot`, if the key has one.
  const KeyEntry* Answer(size_t slot) const {
    for (size_t i = 0; i < key_.count; ++i) {
      const KeyEntry& e = key_.entries[i];
      if (e.exercise == exercise_.number && e.slot == slot && e.nudge == Nudge::kNone) return &e;
    }
    return nullptr;
  }

  bool IsAnswer(size_t slot, const std::string& canonical) {
    const KeyEntry* answer = Answer(slot);
    uint8_t hash[32];
    Hash(slot, canonical, hash);
    return answer != nullptr && Matches(*answer, hash);
  }

  // An address: the entry it is, or the routine (or datum) it lies inside.
  Verdict JudgeOffset(size_t slot, uint32_t offset, Kind kind) {
    uint32_t extent = 1;
    for (size_t i = 0; i < key_.count; ++i) {
      const KeyEntry& e = key_.entries[i];
      if (e.exercise == exercise_.number && e.slot == slot && e.size > extent) extent = e.size;
    }
    for (uint32_t back = 0; back < extent && back <= offset; ++back) {
      uint8_t hash[32];
      Hash(slot, Hex8(offset - back), hash);
      for (size_t i = 0; i < key_.count; ++i) {
        const KeyEntry& e = key_.entries[i];
        if (e.slot != slot || back >= e.size || !Matches(e, hash)) continue;
        if (e.nudge != Nudge::kNone) return {false, e.nudge};
        if (back == 0) return {true, Nudge::kNone};
        return {false, kind == Kind::kDataAddress ? Nudge::kInsideData : Nudge::kInsideRoutine};
      }
    }
    return {};
  }

  Verdict JudgeValue(size_t slot, const std::string& canonical) {
    uint8_t hash[32];
    Hash(slot, canonical, hash);
    for (size_t i = 0; i < key_.count; ++i) {
      const KeyEntry& e = key_.entries[i];
      if (e.slot == slot && Matches(e, hash)) return {e.nudge == Nudge::kNone, e.nudge};
    }
    return {};
  }

 private:
  const Exercise& exercise_;
  const AnswerKey& key_;
  std::string salt_;
  Sha256 sha_;
  bool failed_ = false;
};

}  // namespace

bool ReadWord(const std::wstring& word, Kind kind, Value* value, Text* reason) {
  *value = Value();
  value->kind = kind;
  if (word.size() > kMaxWordLength) {
    *reason = kTooLong;
    return false;
  }
  switch (kind) {
    case Kind::kAddress:
    case Kind::kDataAddress: return ReadAddress(word, value, reason);
    case Kind::kNumber: return ReadNumber(word, value, reason);
    case Kind::kWord: return ReadPlainWord(word, value, reason);
    case Kind::kHex: return ReadHexLine(word, value, reason);
  }
  return false;
}

const Text& KindHint(Kind kind) {
  static const Text kAddressHint = {
      L"An address is hex digits (0x00401000, 00401000, 401000) or MODULE+offset "
      L"(kestravo.exe+1000, kestravo+0x1000).",
      L"地址写作十六进制数字（0x00401000、00401000、401000）或 模块+偏移"
      L"（kestravo.exe+1000、kestravo+0x1000）。"};
  static const Text kNumberHint = {L"A number is decimal (100) or hex after 0x (0x64).",
                                   L"数字写作十进制（100）或以 0x 开头的十六进制（0x64）。"};
  static const Text kWordHint = {L"A word is letters, in any case (Word, WORD).",
                                 L"单词由字母组成，大小写均可（Word、WORD）。"};
  static const Text kHexHint = {L"A hex line is two hex digits for each byte, as the log shows it (0A1B).",
                                L"十六进制行中每个字节写成两位十六进制数字，与日志一致（0A1B）。"};
  switch (kind) {
    case Kind::kAddress:
    case Kind::kDataAddress: return kAddressHint;
    case Kind::kNumber: return kNumberHint;
    case Kind::kWord: return kWordHint;
    case Kind::kHex: return kHexHint;
  }
  return kWordHint;
}

bool Judge(const Exercise& exercise, const std::vector<Value>& values, Verdict* verdict,
           Text* error) {
  // The build: the one the addresses name, or the first.
  int build = -1;
  bool absolute = false;
  for (const Value& v : values) {
    if (!IsAddress(v.kind)) continue;
    if (v.build < 0) absolute = true;
    if (v.build >= 0 && build >= 0 && v.build != build) {
      *error = {L"The addresses name two different modules; give all of them for one build.",
                L"这些地址指向两个不同的模块；请全部使用同一个版本的地址。"};
      return false;
    }
    if (v.build >= 0) build = v.build;
  }
  if (build < 0) build = exercise.build != nullptr ? FindModule(exercise.build) : 0;
  const Build& target = kBuilds[build];
  if (absolute && !target.fixed_base) {
    const std::wstring module = target.module;
    *error = {module + L" loads at a different base on every start: give its addresses as " +
                  module + L"+offset.",
              module + L" 每次启动时的基址都不同：请把地址写成 " + module + L"+偏移。"};
    return false;
  }
  const AnswerKey& key = *target.key;
  Judging judging(exercise, key);

  // Each word's canonical form, and for addresses the offset its bytes
  // would give when read in the other order.
  const size_t n = values.size();
  std::vector<std::optional<std::string>> canonical(n);
  std::vector<std::optional<uint32_t>> offset(n);
  std::vector<std::optional<uint32_t>> reversed_offset(n);
  for (size_t i = 0; i < n; ++i) {
    const Value& v = values[i];
    if (!IsAddress(v.kind)) {
      canonical[i] = v.text;
      continue;
    }
    const uint64_t absolute_address = v.build >= 0 ? key.image_base + v.number : v.number;
    if (absolute_address >= key.image_base && absolute_address - key.image_base <= 0xFFFFFFFFu) {
      offset[i] = static_cast<uint32_t>(absolute_address - key.image_base);
      canonical[i] = Hex8(*offset[i]);
    }
    if (absolute_address <= 0xFFFFFFFFu) {
      const uint32_t reversed = ByteSwap(static_cast<uint32_t>(absolute_address));
      if (reversed >= key.image_base && reversed - key.image_base <= 0xFFFFFFFFu) {
        reversed_offset[i] = static_cast<uint32_t>(reversed - key.image_base);
      }
    }
  }

  std::vector<Verdict> slots(n);
  for (size_t i = 0; i < n; ++i) {
    const size_t slot = i + 1;
    const Kind kind = exercise.slots[i].kind;
    if (!IsAddress(kind)) {
      slots[i] = judging.JudgeValue(slot, *canonical[i]);
      continue;
    }
    if (offset[i]) slots[i] = judging.JudgeOffset(slot, *offset[i], kind);
    if (!slots[i].right && slots[i].nudge == Nudge::kNone && reversed_offset[i] &&
        judging.IsAnswer(slot, Hex8(*reversed_offset[i]))) {
      slots[i].nudge = Nudge::kByteOrder;
    }
  }

  *verdict = {true, Nudge::kNone};
  for (const Verdict& v : slots) verdict->right = verdict->right && v.right;
  if (!verdict->right) {
    // The first word in order that can be told something: its own nudge,
    // or, when it and another word hold each other's answers, the swap.
    for (size_t i = 0; i < n && verdict->nudge == Nudge::kNone; ++i) {
      verdict->nudge = slots[i].nudge;
      for (size_t j = 0; j < n && verdict->nudge == Nudge::kNone; ++j) {
        if (j == i || slots[i].right || slots[j].right || !canonical[i] || !canonical[j] ||
            IsAddress(values[i].kind) != IsAddress(values[j].kind)) {
          continue;
        }
        if (judging.IsAnswer(j + 1, *canonical[i]) && judging.IsAnswer(i + 1, *canonical[j])) {
          verdict->nudge = exercise.swapped;
        }
      }
    }
  }
  if (judging.failed()) {
    *error = {L"This system could not compute SHA-256 (bcrypt), so no answer can be checked.",
              L"本系统无法计算 SHA-256（bcrypt），因此无法检查答案。"};
    return false;
  }
  return true;
}

}  // namespace check
