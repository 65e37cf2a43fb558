// kestravo-check, run as a learner runs it: right answers in every address
// form, near misses with their nudges, bad input, and the promise that
// neither its output nor its bytes give an answer away. The answers are
// computed here from the build's map, independently of the checker's key.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "kestravo_version.h"
#include "tests/check/checker_run.h"

namespace {

using Words = std::vector<std::string>;

// Symbol lines of the GNU ld map: "                0x00402db0                Name",
// assignments included ("__image_base__ = 0x400000").
std::map<std::string, uint32_t> ReadMap(const char* path) {
  std::map<std::string, uint32_t> found;
  std::ifstream map(path);
  std::string line;
  while (std::getline(map, line)) {
    if (line.rfind("                0x", 0) != 0) continue;
    std::istringstream fields(line);
    std::string address, name;
    if (fields >> address >> name) found.emplace(name, static_cast<uint32_t>(std::stoull(address, nullptr, 16)));
  }
  return found;
}

// kestravo.exe's map, or kestravo64.exe's.
const std::map<std::string, uint32_t>& MapSymbols(bool x64 = false) {
  static const std::map<std::string, uint32_t> symbols = ReadMap(KESTRAVO_MAP);
  static const std::map<std::string, uint32_t> symbols64 = ReadMap(KESTRAVO64_MAP);
  return x64 ? symbols64 : symbols;
}

uint32_t Symbol(const std::string& name, bool x64 = false) {
  const auto at = MapSymbols(x64).find(name);
  if (at == MapSymbols(x64).end()) {
    ADD_FAILURE() << "no " << name << " in " << (x64 ? KESTRAVO64_MAP : KESTRAVO_MAP);
    return 0;
  }
  return at->second;
}

uint32_t Base(bool x64 = false) { return Symbol("__image_base__", x64); }

std::string Printf(const char* format, uint32_t value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Every way of writing an address the checker accepts: absolute, or as an
// offset from the module.
const std::vector<std::pair<const char*, bool>> kForms = {
    {"0x%08X", false},         {"%08x", false},           {"%x", false},
    {"0X%X", false},           {"kestravo.exe+%X", true}, {"kestravo.exe+0x%x", true},
    {"kestravo+%X", true},     {"KESTRAVO.EXE+%x", true},
};

// An answer word with the address of a map symbol in it, in form `form`:
//   @Name        the symbol's address        @Name+3, @Name-1   a little off it
//   @~Name       its four bytes reversed, as read off a little-endian dump
//   @64:Name     in kestravo64.exe, always as kestravo64.exe+offset (an
//                address without a module name is kestravo.exe's)
std::string Expand(const std::string& word, size_t form) {
  if (word.rfind("@64:", 0) == 0) {
    return Printf("kestravo64.exe+%X", Symbol(word.substr(4), true) - Base(true));
  }
  if (word.empty() || word[0] != '@') return word;
  const bool reversed = word.size() > 1 && word[1] == '~';
  std::string name = word.substr(reversed ? 2 : 1);
  int64_t delta = 0;
  const size_t sign = name.find_first_of("+-");
  if (sign != std::string::npos) {
    delta = std::stoll(name.substr(sign));
    name = name.substr(0, sign);
  }
  uint32_t address = static_cast<uint32_t>(Symbol(name) + delta);
  if (reversed) {
    address = (address >> 24) | ((address >> 8) & 0xFF00u) | ((address << 8) & 0xFF0000u) |
              (address << 24);
  }
  // Reversed bytes are read off a dump as an absolute number.
  const auto& [format, relative] = kForms[form];
  if (reversed && relative) return Printf("%08X", address);
  return Printf(format, relative ? address - Base() : address);
}

Words ExpandAll(const Words& words, size_t form) {
  Words out;
  for (const std::string& word : words) out.push_back(Expand(word, form));
  return out;
}

bool HasAddress(const Words& words) {
  return std::any_of(words.begin(), words.end(),
                     [](const std::string& w) { return !w.empty() && w[0] == '@'; });
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The routines and data that are answers, and how their addresses read as text.
const std::vector<std::string> kAnswerSymbols = {"NormalAttack", "Magic", "OnButton2Click",
                                                 "GroupAttackSend", "DeathRoutine", "magic_payload"};

std::vector<std::string> AnswerAddressTexts() {
  std::vector<std::string> texts;
  for (const bool x64 : {false, true}) {
    for (const std::string& name : kAnswerSymbols) {
      texts.push_back(Printf("%06X", Symbol(name, x64)));
      texts.push_back(Printf("%08X", Symbol(name, x64)));
    }
  }
  return texts;
}

// Runs the checker and checks what holds for every run: no answer address
// in what it says, nothing that acts on a terminal, and each message in
// English then Chinese.
kvtest::CheckerResult Check(const Words& args) {
  const kvtest::CheckerResult result = kvtest::RunChecker(args);
  const std::string upper = Upper(result.output);
  for (const std::string& text : AnswerAddressTexts()) {
    EXPECT_EQ(upper.find(text), std::string::npos) << "the output shows " << text;
  }
  for (const std::string& name : kAnswerSymbols) {
    EXPECT_EQ(result.output.find(name), std::string::npos) << "the output names " << name;
  }
  EXPECT_EQ(result.output.find('\x1b'), std::string::npos);
  std::vector<std::string> lines;
  std::istringstream in(result.output);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(line);
  }
  EXPECT_EQ(lines.size() % 2, 0u) << result.output;
  for (size_t i = 1; i < lines.size(); i += 2) {
    const bool has_chinese = std::any_of(lines[i].begin(), lines[i].end(),
                                         [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    EXPECT_TRUE(has_chinese) << "not the Chinese line of a message: " << lines[i];
  }
  return result;
}

std::string Joined(const Words& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

std::string TestName(const char* label) {
  std::string name;
  for (const char* c = label; *c != '\0'; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return name;
}

// --- Right answers -------------------------------------------------------

struct RightCase {
  const char* label;
  Words args;  // the exercise number, then the answer words
};

void PrintTo(const RightCase& c, std::ostream* out) { *out << c.label; }

class RightAnswerTest : public testing::TestWithParam<RightCase> {};

TEST_P(RightAnswerTest, IsRightInEveryForm) {
  const Words& args = GetParam().args;
  const size_t forms = HasAddress(args) ? kForms.size() : 1;
  for (size_t form = 0; form < forms; ++form) {
    const Words words = ExpandAll(args, form);
    SCOPED_TRACE(Joined(words));
    const kvtest::CheckerResult result = Check(words);
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.output, "Right.\n正确。\n");
  }
}

const RightCase kRightCases[] = {
    {"1 base and port", {"1", "@__image_base__", "19730"}},
    {"1 port in hex", {"1", "@__image_base__", "0x4D12"}},
    {"2 normal attack", {"2", "@NormalAttack"}},
    {"2 exercise number with a leading zero", {"02", "@NormalAttack"}},
    {"3 sender and handler", {"3", "@Magic", "@OnButton2Click"}},
    {"4 routine and arguments", {"4", "@GroupAttackSend", "6", "7"}},
    {"5 death payload", {"5", "@DeathRoutine", "3"}},
    {"6 filler", {"6", "push", "es", "360"}},
    {"6 filler in capitals, AT and T register, hex count", {"6", "PUSH", "%ES", "0x168"}},
    {"6 count of exactly 64 characters", {"6", "push", "es", std::string(61, '0') + "360"}},
    {"7 pushes", {"7", "7", "6", "caller"}},
    {"7 pushes in hex and capitals", {"7", "0x7", "0X6", "Caller"}},
    {"8 own tool", {"8", "4B56", "1"}},
    {"8 lower case hex", {"8", "4b56", "1"}},
    {"9 payload", {"9", "@magic_payload", "4E61BC00"}},
    {"9 lower case hex", {"9", "@magic_payload", "4e61bc00"}},
    {"2 in kestravo64", {"2", "@64:NormalAttack"}},
    {"4 in kestravo64", {"4", "@64:GroupAttackSend", "6", "7"}},
    {"5 in kestravo64", {"5", "@64:DeathRoutine", "3"}},
    {"9 in kestravo64", {"9", "@64:magic_payload", "4E61BC00"}},
    {"11 registers and shadow space", {"11", "ecx", "edx", "32"}},
    {"11 the registers' 64-bit names", {"11", "RCX", "%rdx", "0x20"}},
    {"12 filler", {"12", "push", "rax", "720"}},
};

INSTANTIATE_TEST_SUITE_P(Exercises, RightAnswerTest, testing::ValuesIn(kRightCases),
                         [](const auto& info) { return TestName(info.param.label); });

// --- Near misses ---------------------------------------------------------

struct MissCase {
  const char* label;
  Words args;
  const char* nudge;  // the English nudge line; nullptr when none applies
};

void PrintTo(const MissCase& c, std::ostream* out) { *out << c.label; }

class NearMissTest : public testing::TestWithParam<MissCase> {};

TEST_P(NearMissTest, IsNotYetWithItsNudge) {
  const MissCase& c = GetParam();
  // One absolute form and one module+offset form.
  for (size_t form : {size_t{0}, size_t{6}}) {
    const Words words = ExpandAll(c.args, form);
    SCOPED_TRACE(Joined(words));
    const kvtest::CheckerResult result = Check(words);
    EXPECT_EQ(result.exit_code, 1);
    const std::string verdict = "Not yet.\n还不对。\n";
    ASSERT_EQ(result.output.substr(0, verdict.size()), verdict) << result.output;
    if (c.nudge == nullptr) {
      EXPECT_EQ(result.output, verdict);
    } else {
      EXPECT_EQ(result.output.substr(verdict.size()).rfind(std::string(c.nudge) + "\n", 0), 0u)
          << result.output;
    }
    if (!HasAddress(c.args)) break;
  }
}

const char kInsideRoutine[] =
    "That address is inside the routine; give the address of its first instruction.";
const char kLinkCode[] =
    "That routine is the program's link code: every button's send goes through it. Return once "
    "more.";
const char kByteOrder[] = "Read the four bytes least significant first.";

const MissCase kMissCases[] = {
    {"1 base one byte on", {"1", "@__image_base__+1", "19730"}, nullptr},
    {"1 base read byte by byte", {"1", "@~__image_base__", "19730"}, kByteOrder},
    {"1 another port", {"1", "@__image_base__", "19731"}, nullptr},
    {"2 one byte into the routine", {"2", "@NormalAttack+1"}, kInsideRoutine},
    {"2 last byte of the routine", {"2", "@OnButton2Click-1"}, kInsideRoutine},
    {"2 the next routine", {"2", "@OnButton2Click"}, nullptr},
    {"2 the byte before the routine", {"2", "@NormalAttack-1"}, nullptr},
    {"2 link code", {"2", "@LinkClientSend"}, kLinkCode},
    {"2 inside the link code", {"2", "@LinkClientSend+16"}, kLinkCode},
    {"2 bytes reversed", {"2", "@~NormalAttack"}, kByteOrder},
    {"2 below the image", {"2", "0x1000"}, nullptr},
    {"3 swapped", {"3", "@OnButton2Click", "@Magic"}, "The right routines, in the wrong order."},
    {"3 link code as sender", {"3", "@LinkClientSend", "@OnButton2Click"}, kLinkCode},
    {"3 another handler", {"3", "@Magic", "@OnButton3Click"}, nullptr},
    {"4 the caller",
     {"4", "@GroupAttack", "6", "7"},
     "That routine takes no arguments: it is the caller. Go one routine deeper."},
    {"4 the caller wins over swapped arguments",
     {"4", "@GroupAttack", "7", "6"},
     "That routine takes no arguments: it is the caller. Go one routine deeper."},
    {"4 the click handler",
     {"4", "@OnButton3Click", "6", "7"},
     "That is the click handler, two routines up."},
    {"4 link code", {"4", "@LinkClientSend", "6", "7"}, kLinkCode},
    {"4 arguments swapped",
     {"4", "@GroupAttackSend", "7", "6"},
     "The right pair, in the wrong order: the first argument is the one at the lower stack "
     "address."},
    {"4 inside the routine", {"4", "@GroupAttackSend+3", "6", "7"}, kInsideRoutine},
    {"4 one argument wrong", {"4", "@GroupAttackSend", "6", "8"}, nullptr},
    {"4 one argument in both places", {"4", "@GroupAttackSend", "7", "7"}, nullptr},
    {"5 bytes reversed", {"5", "@~DeathRoutine", "3"}, kByteOrder},
    {"5 the routine it calls",
     {"5", "@GroupAttack", "3"},
     "That is the routine it calls, not the address that was sent."},
    {"5 the sending handler",
     {"5", "@Death", "3"},
     "That is the click handler that sends the address."},
    {"5 the sending button",
     {"5", "@DeathRoutine", "4"},
     "That is the button that sends the address; whose action does the routine at that address "
     "perform?"},
    {"5 another button", {"5", "@DeathRoutine", "2"}, nullptr},
    {"6 pushes counted",
     {"6", "push", "es", "90"},
     "That counts pushes; how many bytes does each push take?"},
    {"6 one run", {"6", "push", "es", "180"}, "That is one run; there are two."},
    {"6 one run's pushes", {"6", "push", "es", "45"}, "That is one run's pushes."},
    {"6 another instruction", {"6", "pop", "es", "360"}, nullptr},
    {"7 arguments in argument order",
     {"7", "6", "7", "caller"},
     "Arguments are pushed last one first."},
    {"7 callee", {"7", "7", "6", "callee"}, "Look at what GroupAttack does after the call returns."},
    {"8 the second copy",
     {"8", "4B56", "2"},
     "The second copy cannot listen on the port. Where does its client connect?"},
    {"8 other bytes", {"8", "4B57", "1"}, nullptr},
    {"9 the code that sends",
     {"9", "@Magic", "4E61BC00"},
     "That is the code that sends the value; the value itself lives in data."},
    {"9 inside the value",
     {"9", "@magic_payload+2", "4E61BC00"},
     "That address is inside the value; give the address of its first byte."},
    {"9 the value as written", {"9", "@magic_payload", "12345678"}, nullptr},
    {"4 in kestravo64, the caller",
     {"4", "@64:GroupAttack", "6", "7"},
     "That routine takes no arguments: it is the caller. Go one routine deeper."},
    {"5 in kestravo64, the routine it calls",
     {"5", "@64:GroupAttack", "3"},
     "That is the routine it calls, not the address that was sent."},
    {"11 registers swapped", {"11", "edx", "ecx", "32"}, "The right registers, in the wrong order."},
    {"11 another register", {"11", "ecx", "r8d", "32"}, nullptr},
    {"11 the alignment counted",
     {"11", "ecx", "edx", "40"},
     "That includes the 8 bytes that align the stack; how many are the shadow space?"},
    {"11 no shadow space", {"11", "ecx", "edx", "0"}, nullptr},
    {"12 alignment and shadow space counted",
     {"12", "push", "rax", "760"},
     "That also counts the alignment and the shadow space; count only the pushes."},
    {"12 one run", {"12", "push", "rax", "360"}, "That is one run; there are two."},
    {"12 pushes counted",
     {"12", "push", "rax", "90"},
     "That counts pushes; how many bytes does each push take?"},
    {"12 the 32-bit register", {"12", "push", "es", "720"}, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Exercises, NearMissTest, testing::ValuesIn(kMissCases),
                         [](const auto& info) { return TestName(info.param.label); });

// --- Bad input -----------------------------------------------------------

struct BadCase {
  const char* label;
  Words args;
  std::vector<std::string> says;  // texts the message must hold
};

void PrintTo(const BadCase& c, std::ostream* out) { *out << c.label; }

class BadInputTest : public testing::TestWithParam<BadCase> {};

TEST_P(BadInputTest, ExitsWithTwoAndSaysWhy) {
  const BadCase& c = GetParam();
  const Words words = ExpandAll(c.args, 0);
  SCOPED_TRACE(Joined(words));
  const kvtest::CheckerResult result = Check(words);
  EXPECT_EQ(result.exit_code, 2);
  for (const std::string& text : c.says) {
    EXPECT_NE(result.output.find(text), std::string::npos) << "missing: " << text << "\n"
                                                           << result.output;
  }
  EXPECT_EQ(result.output.find("Right."), std::string::npos);
  EXPECT_EQ(result.output.find("Not yet."), std::string::npos);
}

const std::string kLong(65, 'e');

const BadCase kBadCases[] = {
    {"garbage for an address",
     {"2", "garbage"},
     {"\"garbage\" is not an address.", "kestravo-check 2 ADDRESS", "kestravo.exe+1000"}},
    {"empty address", {"2", ""}, {"\"\" is not an address."}},
    {"module without offset", {"2", "kestravo.exe+"}, {"\"kestravo.exe+\" is not an address."}},
    {"hex prefix alone", {"2", "0x"}, {"\"0x\" is not an address."}},
    {"negative address", {"2", "-1000"}, {"\"-1000\" is negative"}},
    {"address too large", {"2", "0x1FFFFFFFFFFFFFFFF"}, {"is too large."}},
    {"offset too large", {"2", "kestravo+100000000"}, {"is too large."}},
    {"unknown module",
     {"2", "notepad.exe+1000"},
     {"\"notepad.exe+1000\" names a module this checker does not know; it knows kestravo.exe, kestravo-aslr.exe, kestravo64.exe."}},
    {"Chinese for an address", {"2", "普攻"}, {"\"普攻\" is not an address.", "“普攻”不是地址。"}},
    {"terminal control characters", {"2", "\x1b[31m"}, {"\"?[31m\" is not an address."}},
    {"quotes and backslashes", {"2", "a\"b\\"}, {"\"a\"b\\\" is not an address."}},
    {"negative number",
     {"4", "@GroupAttackSend", "-5", "7"},
     {"answer word 2 (A): \"-5\" is negative", "kestravo-check 4 ADDRESS A B", "0x64"}},
    {"garbage for a number", {"4", "@GroupAttackSend", "six", "7"}, {"\"six\" is not a number."}},
    {"number too large", {"5", "@DeathRoutine", "4294967296"}, {"\"4294967296\" is too large."}},
    {"hex number too large", {"5", "@DeathRoutine", "0x100000000"}, {"is too large."}},
    {"number for a word", {"7", "7", "6", "42"}, {"(WHO): \"42\" is not a word."}},
    {"word with a space", {"6", "push", "e s", "360"}, {"\"e s\" is not a word."}},
    {"hex line with letters", {"8", "KV", "1"}, {"\"KV\" is not a hex line."}},
    {"hex line with an odd digit count", {"8", "4B5", "1"}, {"\"4B5\" has an odd number"}},
    {"answer word over 64 characters",
     {"6", "push", kLong, "360"},
     {"is longer than 64 characters.", "\"eeeeeeeeeeeeeeeeeeeeeeee…\""}},
    {"exercise number over 64 characters",
     {std::string(65, '2'), "x"},
     {"is longer than 64 characters."}},
    {"exercise 0", {"0", "x"}, {"There is no exercise 0."}},
    {"exercise 99", {"99", "x"}, {"There is no exercise 99."}},
    {"exercise in hex", {"0x2", "@NormalAttack"}, {"\"0x2\" is not a plain decimal number"}},
    {"exercise with a sign", {"+2", "@NormalAttack"}, {"\"+2\" is not a plain decimal number"}},
    {"negative exercise", {"-1", "x"}, {"\"-1\" is not a plain decimal number"}},
    {"exercise as a fraction", {"2.0", "@NormalAttack"}, {"\"2.0\" is not a plain decimal number"}},
    {"empty exercise", {""}, {"\"\" is not a plain decimal number"}},
    {"too few words",
     {"4", "@GroupAttackSend", "6"},
     {"Exercise 4 takes 3 answer words (ADDRESS A B); you gave 2.", "4. Arguments decide"}},
    {"too many words",
     {"2", "@NormalAttack", "extra"},
     {"Exercise 2 takes 1 answer word (ADDRESS); you gave 2."}},
    {"no answer",
     {"4"},
     {"Exercise 4 needs an answer", "4. Arguments decide: ADDRESS A B"}},
};

INSTANTIATE_TEST_SUITE_P(Words, BadInputTest, testing::ValuesIn(kBadCases),
                         [](const auto& info) { return TestName(info.param.label); });

// --- The listing and the bytes --------------------------------------------

TEST(CheckerTest, WithoutArgumentsPrintsItsVersionAndNamesEveryExercise) {
  const kvtest::CheckerResult result = Check({});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output.rfind("kestravo-check " KESTRAVO_VERSION ":", 0), 0u) << result.output;
  const char* const exercises[] = {
      "1. Meet the target: BASE PORT",
      "2. Catch the send: ADDRESS",
      "3. One routine deeper: SENDER HANDLER",
      "4. Arguments decide: ADDRESS A B",
      "5. An address as payload: ADDRESS BUTTON",
      "6. The filler: MNEMONIC REGISTER BYTES",
      "7. Act without a click: FIRST SECOND WHO",
      "8. Speak to the server: HEX COPY",
      "9. Change the payload: ADDRESS HEX",
      "10. Addresses that move: ADDRESS",
      "11. Arguments in registers: FIRST SECOND SHADOW",
      "12. The 64-bit filler: MNEMONIC REGISTER BYTES",
  };
  for (const char* exercise : exercises) {
    EXPECT_NE(result.output.find(std::string("\n") + exercise + "\n"), std::string::npos)
        << exercise;
  }
}

// Case-insensitive search for `text` as ASCII and as UTF-16LE.
bool Shows(const std::string& bytes, const std::string& text) {
  const std::string upper = Upper(bytes);
  std::string wide;
  for (char c : Upper(text)) wide += std::string{c, '\0'};
  return upper.find(Upper(text)) != std::string::npos || upper.find(wide) != std::string::npos;
}

TEST(CheckerTest, ItsBytesDoNotShowTheAnswers) {
  std::ifstream file(kvtest::CheckerPath().c_str(), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 4096u);
  // The search finds what is there, in both encodings.
  ASSERT_TRUE(Shows(bytes, "bcrypt.dll"));
  ASSERT_TRUE(Shows(bytes, "Not yet."));
  std::vector<std::string> answers = AnswerAddressTexts();
  answers.insert(answers.end(), {"NormalAttack", "OnButton2Click", "GroupAttackSend",
                                 "DeathRoutine", "magic_payload", "4E61BC00", "4B56", "19730"});
  for (const std::string& answer : answers) EXPECT_FALSE(Shows(bytes, answer)) << answer;
}

}  // namespace
