// Random operation sequences over the script symbol table, each result and
// the whole module state checked against a plain model written here from the
// rules alone: its own case folding, its own tables, its own error report.
#include <cctype>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tests/script/expected_constants.h"
#include "tests/script/script_test_support.h"

namespace script_test {
namespace {

// ---- Inputs -------------------------------------------------------------------

// A GBK Text and what it reads as in UTF-16, as a message box shows it.
struct Word {
  Text gbk;
  std::u16string shown;
};

// Names, scopes and procedure names come from one pool, so that they collide:
// ASCII case variants, double-byte characters whose trail byte is an ASCII
// capital or small letter (never folded), folding resuming after such a pair,
// the empty name, and names of the predefined constants in other cases.
const std::vector<Word>& NamePool() {
  static const std::vector<Word> pool = {
      {"Count", u"Count"},
      {"COUNT", u"COUNT"},
      {"count", u"count"},
      {"Main", u"Main"},
      {"mAIN", u"mAIN"},
      {"\x81\x41", u"\u4E04"},
      {"\x81\x61", u"\u4E64"},
      {"\x81\x41" "B", u"\u4E04B"},
      {"\x81\x41" "b", u"\u4E04b"},
      {"A\x81\x61", u"A\u4E64"},
      {"a\x81\x41", u"a\u4E04"},
      {"\xD6\xF7", u"主"},
      {"", u""},
      {"TRUE", u"TRUE"},
      {"\xD5\xE6", u"真"},
      {"#MB_OK", u"#MB_OK"},
      {"#Mb_Infomation", u"#Mb_Infomation"},
      {"gbk\xD6\xD0\xCE\xC4", u"gbk中文"},
      {"#GBK\xD6\xD0\xCE\xC4", u"#GBK中文"},  // no constant: "GBK中文" has no "#"
      {"#big5\xD6\xD0\xCE\xC4", u"#big5中文"},
  };
  return pool;
}

// Defined and attached texts of procedures.
const std::vector<Text>& ProcedureTexts() {
  static const std::vector<Text> texts = {
      "", "x", "Note", "\xD6\xD0\xCE\xC4", "\xC4\xE3\xBA\xC3\xA3\xAC\xCA\xC0\xBD\xE7"};
  return texts;
}

// Strings assigned as VT_BSTR: built from GBK or given as UTF-16.
const std::vector<Word>& StringValues() {
  static const std::vector<Word> values = {
      {"", u""},
      {"abc", u"abc"},
      {"\xD6\xD0\xCE\xC4", u"中文"},
      {"\xC4\xE3\xBA\xC3\xA3\xAC\xCA\xC0\xBD\xE7", u"你好，世界"},
      {"\x81\x41", u"\u4E04"},
      {"\r\n", u"\r\n"},
  };
  return values;
}

const int32_t kIntegers[] = {0, 1, -1, 42, 69, INT32_MIN, INT32_MAX};
const int32_t kTypeCodes[] = {-1, 0, 1, 2, 3, 4, 5, 99, -7};
const int32_t kFlags[] = {0, 0, 1, -1, 7};

// The three messages, as GBK and as shown.
const Word kRedefinedMessage = {"\xB1\xE4\xC1\xBF\xD6\xD8\xB6\xA8\xD2\xE5", u"变量重定义"};
const Word kConstantMessage = {"\xB2\xBB\xC4\xDC\xB8\xF8\xB3\xA3\xC1\xBF\xB8\xB3\xD6\xB5",
                               u"不能给常量赋值"};
const Word kDuplicateMessage = {"\xD6\xD8\xB8\xB4\xB6\xA8\xD2\xE5\xB9\xFD\xB3\xCC:",
                                u"重复定义过程:"};

// ---- The model ----------------------------------------------------------------

struct ModelValue {
  VARTYPE vt;
  int32_t number;  // VT_I4, VT_BOOL (-1 true)
  std::u16string text;  // VT_BSTR
};

struct ModelVariable {
  Text name;
  int32_t type_code;
  ModelValue value;
  int32_t is_constant;
  Text scope;
};

struct ModelProcedure {
  Text name;
  int32_t defined_number;
  int32_t redefine_flag;
  Text attached_text;
  Text defined_text;
};

struct ModelContext {
  std::vector<ModelProcedure> procedures;
  std::vector<int32_t> frames;  // the first_number of each SampleFrame
};

struct ModelBox {
  std::u16string text;
  int32_t error_flag_before;
  Text last_error_text_before;
};

// Only A-Z fold; a byte of 0x80 or above takes the next byte along unchanged.
Text Folded(const Text& text) {
  Text out;
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x80) {
      out.append(text, i, 2);  // one byte only when the text ends here
      i += 2;
      continue;
    }
    out.push_back(byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte + 32) : text[i]);
    ++i;
  }
  return out;
}

bool Match(const Text& a, const Text& b) { return Folded(a) == Folded(b); }

struct Model {
  std::vector<ModelVariable> variables;
  std::vector<ModelContext> contexts;  // [0] is the module's own
  int32_t procedure_count = 0;
  int32_t error_flag = 0;
  Text last_error_text;
  std::vector<ModelBox> boxes;

  void Report(const Word& message) {
    boxes.push_back({message.shown, error_flag, last_error_text});
    error_flag = 1;
    last_error_text = message.gbk;
  }

  int32_t FindVariable(const Text& name, const Text& scope) const {
    for (size_t i = 0; i < variables.size(); ++i) {
      const ModelVariable& v = variables[i];
      if (!Match(v.name, name)) continue;
      if (scope.empty() || v.scope.empty() || Match(v.scope, scope)) {
        return static_cast<int32_t>(i + 1);
      }
    }
    return 0;
  }

  static ModelValue Default(int32_t type_code) {
    if (type_code == 2) return {VT_BOOL, 0, u""};
    if (type_code == 3 || type_code == -1) return {VT_BSTR, 0, u""};
    return {VT_I4, 0, u""};
  }

  int32_t DefineVariable(const Word& name, int32_t type_code, int32_t is_constant,
                         const Text& scope) {
    const int32_t found = FindVariable(name.gbk, scope);
    if (found > 0) {
      // The module's own context decides, by the scope asked for.
      if (GetRedefineFlag(0, scope) != 0) return found;
      Report({kRedefinedMessage.gbk + name.gbk, kRedefinedMessage.shown + name.shown});
      return 0;
    }
    variables.push_back({name.gbk, type_code, Default(type_code), is_constant, scope});
    return static_cast<int32_t>(variables.size());
  }

  void AssignVariable(int32_t position, const ModelValue& value, int32_t force) {
    ModelVariable& v = variables[static_cast<size_t>(position - 1)];
    if (v.is_constant != 0 && force == 0) {
      Report(kConstantMessage);
      return;
    }
    v.value = value;
  }

  // Every procedure operation first takes the count from the list it works on.
  std::vector<ModelProcedure>& Procedures(size_t context) {
    std::vector<ModelProcedure>& list = contexts[context].procedures;
    procedure_count = static_cast<int32_t>(list.size());
    return list;
  }

  int32_t FindProcedure(size_t context, const Text& name) {
    const std::vector<ModelProcedure>& list = Procedures(context);
    for (size_t i = 0; i < list.size(); ++i) {
      if (Match(list[i].name, name)) return static_cast<int32_t>(i + 1);
    }
    return 0;
  }

  void DefineProcedure(size_t context, const Word& name, int32_t number, int32_t flag,
                       const Text& text) {
    if (FindProcedure(context, name.gbk) > 0) {
      Report({kDuplicateMessage.gbk + name.gbk, kDuplicateMessage.shown + name.shown});
      return;
    }
    Procedures(context).push_back({Folded(name.gbk), number, flag, "", text});
    procedure_count += 1;
  }

  void ClearProcedures(size_t context) {
    Procedures(context).clear();
    procedure_count = 0;
  }

  ModelProcedure* Named(size_t context, const Text& name) {
    const int32_t found = FindProcedure(context, name);
    return found > 0 ? &contexts[context].procedures[static_cast<size_t>(found - 1)] : nullptr;
  }

  int32_t GetRedefineFlag(size_t context, const Text& name) {
    const ModelProcedure* p = Named(context, name);
    return p != nullptr ? p->redefine_flag : 0;
  }
};

// ---- Rendering, for the step log ----------------------------------------------------

std::string Shown(const Text& text) {
  std::string out = "\"";
  bool after_escape = false;
  for (char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
      // Split the literal where a hex digit would extend the escape before it.
      if (after_escape && std::isxdigit(byte) != 0) out += "\" \"";
      out += c;
      after_escape = false;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
      after_escape = true;
    }
  }
  return out + "\"";
}

std::string Shown(const ModelValue& value) {
  if (value.vt == VT_I4) return "VT_I4 " + std::to_string(value.number);
  if (value.vt == VT_BOOL) return "VT_BOOL " + std::to_string(value.number);
  std::string out = "VT_BSTR u\"";
  for (char16_t unit : value.text) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(unit));
    out += escaped;
  }
  return out + "\"";
}

// ---- The runner -----------------------------------------------------------------

constexpr int kSteps = 400;
constexpr size_t kMostCopies = 4;

// Even seeds register the predefined constants first, as program start does;
// seeds 3, 7, 11, ... give the module's context frames, which copies carry.
class ScriptModelTest : public ModuleTest, public ::testing::WithParamInterface<uint32_t> {
 protected:
  bool WithConstants() const override { return GetParam() % 2 == 0; }
  bool WithFrames() const { return GetParam() % 4 == 3; }

  void SetUp() override {
    ModuleTest::SetUp();
    rng_.seed(GetParam());
    model_.contexts.emplace_back();
    if (WithConstants()) {
      for (const ExpectedConstant& c : kExpectedConstants) {
        model_.variables.push_back({c.gbk_name, c.type_code, {c.vt, c.number, c.text}, 1, ""});
      }
    }
    if (WithFrames()) {
      for (int32_t n : {11, 12}) {
        Context().frames.Append(SampleFrame(n));
        model_.contexts[0].frames.push_back(n);
      }
    }
  }

  size_t Pick(size_t count) {
    return std::uniform_int_distribution<size_t>(0, count - 1)(rng_);
  }
  int32_t PickIn(int32_t low, int32_t high) {
    return std::uniform_int_distribution<int32_t>(low, high)(rng_);
  }
  template <typename T, size_t N>
  T PickOf(const T (&items)[N]) {
    return items[Pick(N)];
  }
  const Word& PickName() { return NamePool()[Pick(NamePool().size())]; }
  // The empty scope (module-wide) more often than any one procedure's.
  const Text& PickScope() {
    static const Text kModuleWide;
    return Pick(3) == 0 ? kModuleWide : PickName().gbk;
  }
  const Text& PickText() { return ProcedureTexts()[Pick(ProcedureTexts().size())]; }

  // The module's own context half of the time, otherwise any live one.
  size_t PickContext() { return Pick(2) == 0 ? 0 : Pick(live_.size()); }

  ScriptContext& Live(size_t context) { return *live_[context]; }
  const ScriptContextOperations& OpsOf(size_t context) { return *live_[context]->operations; }

  // A value as a caller builds it, with what the model expects it to hold.
  VariantPtr MakeValue(ModelValue& expected) {
    switch (Pick(3)) {
      case 0: {
        const int32_t number = PickOf(kIntegers);
        expected = {VT_I4, number, u""};
        return Integer(number);
      }
      case 1: {
        const bool truth = Pick(2) == 0;
        expected = {VT_BOOL, truth ? -1 : 0, u""};
        return Boolean(truth);
      }
      default: {
        const Word& text = StringValues()[Pick(StringValues().size())];
        expected = {VT_BSTR, 0, text.shown};
        if (Pick(2) == 0) return Utf16Text(text.shown);
        VariantPtr value = NewVariant();
        SetText(*value, text.gbk);
        return value;
      }
    }
  }

  // One random operation: runs it on the module and on the model, checks the
  // result and returns a description for the step log.
  std::string Step();
  std::string VariableStep(int which);
  std::string ProcedureStep(int which);
  std::string ContextStep(int which);

  void CheckBoxes();
  void CheckState();

  std::mt19937 rng_;
  Model model_;
  std::vector<ContextPtr> copies_;
  std::vector<ScriptContext*> live_;  // [0] the module's, then copies_ in order
  size_t boxes_checked_ = 0;
};

std::string ScriptModelTest::Step() {
  // Weights: variable operations, procedure operations, then Copy and Destroy.
  static const std::vector<double> kWeights = {
      12, 10, 10, 3, 3,                   // variables
      12, 6, 1, 4, 6, 3, 3, 3, 3, 3, 3,  // procedures
      3, 2};                             // contexts
  const int which = std::discrete_distribution<int>(kWeights.begin(), kWeights.end())(rng_);
  if (which < 5) return VariableStep(which);
  if (which < 16) return ProcedureStep(which - 5);
  return ContextStep(which - 16);
}

std::string ScriptModelTest::VariableStep(int which) {
  const int32_t count = static_cast<int32_t>(model_.variables.size());
  if ((which == 2 || which == 3) && count == 0) which = 1;  // nothing to assign to yet
  switch (which) {
    case 0: {
      const Word& name = PickName();
      const int32_t type_code = PickOf(kTypeCodes);
      const int32_t is_constant = PickOf(kFlags);
      const Text& scope = PickScope();
      const int32_t expected = model_.DefineVariable(name, type_code, is_constant, scope);
      const int32_t got = DefineVariable(name.gbk, type_code, is_constant, scope);
      EXPECT_EQ(got, expected);
      return "DefineVariable(" + Shown(name.gbk) + ", " + std::to_string(type_code) + ", " +
             std::to_string(is_constant) + ", " + Shown(scope) + ") -> " +
             std::to_string(expected);
    }
    case 1: {
      const Text& name = PickName().gbk;
      const Text& scope = PickScope();
      const int32_t expected = model_.FindVariable(name, scope);
      EXPECT_EQ(FindVariable(name, scope), expected);
      return "FindVariable(" + Shown(name) + ", " + Shown(scope) + ") -> " +
             std::to_string(expected);
    }
    case 2: {
      const int32_t position = PickIn(1, count);
      const int32_t force = Pick(2) == 0 ? 0 : PickOf(kFlags);
      ModelValue expected;
      const VariantPtr value = MakeValue(expected);
      model_.AssignVariable(position, expected, force);
      AssignVariable(position, *value, force);
      // The caller keeps its value; the record holds a copy of its own.
      EXPECT_TRUE(Holds(*value, expected.vt, expected.number, expected.text)) << "caller's value";
      const VARIANT& stored = *variable_table.At(position)->value;
      if (value->vt == VT_BSTR && stored.vt == VT_BSTR) {
        EXPECT_NE(stored.bstrVal, value->bstrVal);
      }
      return "AssignVariable(" + std::to_string(position) + ", " + Shown(expected) + ", " +
             std::to_string(force) + ")";
    }
    case 3: {
      // The value of a record, possibly the target itself, passed as given.
      const int32_t position = PickIn(1, count);
      const int32_t source = Pick(3) == 0 ? position : PickIn(1, count);
      const int32_t force = Pick(2) == 0 ? 0 : 1;
      const ModelValue expected = model_.variables[static_cast<size_t>(source - 1)].value;
      model_.AssignVariable(position, expected, force);
      AssignVariable(position, *variable_table.At(source)->value, force);
      return "AssignVariable(" + std::to_string(position) + ", value of " +
             std::to_string(source) + ", " + std::to_string(force) + ")";
    }
    default: {
      const int32_t type_code = PickOf(kTypeCodes);
      const ModelValue expected = Model::Default(type_code);
      const VariantPtr value = DefaultValue(type_code);
      EXPECT_TRUE(Holds(*value, expected.vt, expected.number, expected.text));
      return "DefaultValue(" + std::to_string(type_code) + ") -> " + Shown(expected);
    }
  }
}

std::string ScriptModelTest::ProcedureStep(int which) {
  const size_t c = PickContext();
  ScriptContext& context = Live(c);
  const ScriptContextOperations& ops = OpsOf(c);
  const int32_t length = static_cast<int32_t>(model_.contexts[c].procedures.size());
  const std::string on = "[" + std::to_string(c) + "] ";
  if (which == 3 && length == 0) which = 1;  // no position to set yet
  switch (which) {
    case 0: {
      const Word& name = PickName();
      const int32_t number = PickOf(kIntegers);
      const int32_t flag = PickOf(kFlags);
      const Text& text = PickText();
      model_.DefineProcedure(c, name, number, flag, text);
      ops.DefineProcedure(context, name.gbk, number, flag, text);
      return on + "DefineProcedure(" + Shown(name.gbk) + ", " + std::to_string(number) + ", " +
             std::to_string(flag) + ", " + Shown(text) + ")";
    }
    case 1: {
      const Text& name = PickName().gbk;
      const int32_t expected = model_.FindProcedure(c, name);
      EXPECT_EQ(ops.FindProcedure(context, name), expected);
      return on + "FindProcedure(" + Shown(name) + ") -> " + std::to_string(expected);
    }
    case 2:
      model_.ClearProcedures(c);
      ops.ClearProcedures(context);
      return on + "ClearProcedures()";
    case 3: {
      const int32_t index = PickIn(1, length);
      const Text& text = PickText();
      model_.Procedures(c)[static_cast<size_t>(index - 1)].attached_text = text;
      ops.SetAttachedTextAt(context, index, text);
      return on + "SetAttachedTextAt(" + std::to_string(index) + ", " + Shown(text) + ")";
    }
    case 4: {
      const Text& name = PickName().gbk;
      const int32_t value = PickOf(kFlags);
      const int32_t reserved = PickOf(kIntegers);
      if (ModelProcedure* p = model_.Named(c, name)) p->redefine_flag = value;
      ops.SetRedefineFlag(context, name, value, reserved);
      return on + "SetRedefineFlag(" + Shown(name) + ", " + std::to_string(value) + ", " +
             std::to_string(reserved) + ")";
    }
    case 5: {
      const Text& name = PickName().gbk;
      const int32_t expected = model_.GetRedefineFlag(c, name);
      EXPECT_EQ(ops.GetRedefineFlag(context, name), expected);
      return on + "GetRedefineFlag(" + Shown(name) + ") -> " + std::to_string(expected);
    }
    case 6: {
      const Text& name = PickName().gbk;
      const ModelProcedure* p = model_.Named(c, name);
      const int32_t expected = p != nullptr ? p->defined_number : 0;
      EXPECT_EQ(ops.GetDefinedNumber(context, name), expected);
      return on + "GetDefinedNumber(" + Shown(name) + ") -> " + std::to_string(expected);
    }
    case 7: {
      const Text& name = PickName().gbk;
      const ModelProcedure* p = model_.Named(c, name);
      const Text expected = p != nullptr ? p->defined_text : "";
      EXPECT_EQ(ops.GetDefinedText(context, name), expected);
      return on + "GetDefinedText(" + Shown(name) + ") -> " + Shown(expected);
    }
    case 8: {
      const Text& name = PickName().gbk;
      const ModelProcedure* p = model_.Named(c, name);
      const Text expected = p != nullptr ? p->attached_text : "";
      EXPECT_EQ(ops.GetAttachedText(context, name), expected);
      return on + "GetAttachedText(" + Shown(name) + ") -> " + Shown(expected);
    }
    default: {
      // Positions up to the length, and below 1, which read as empty.
      const int32_t index = Pick(8) == 0 ? INT32_MIN : PickIn(-2, length);
      const std::vector<ModelProcedure>& list = model_.Procedures(c);
      const ModelProcedure* p = index >= 1 ? &list[static_cast<size_t>(index - 1)] : nullptr;
      if (which == 9) {
        const Text expected = p != nullptr ? p->attached_text : "";
        EXPECT_EQ(ops.GetAttachedTextAt(context, index), expected);
        return on + "GetAttachedTextAt(" + std::to_string(index) + ") -> " + Shown(expected);
      }
      const Text expected = p != nullptr ? p->name : "";
      EXPECT_EQ(ops.GetProcedureNameAt(context, index), expected);
      return on + "GetProcedureNameAt(" + std::to_string(index) + ") -> " + Shown(expected);
    }
  }
}

std::string ScriptModelTest::ContextStep(int which) {
  if (which == 1 && !copies_.empty()) {
    const size_t copy = Pick(copies_.size());
    copies_.erase(copies_.begin() + static_cast<std::ptrdiff_t>(copy));  // Destroy, then storage
    live_.erase(live_.begin() + static_cast<std::ptrdiff_t>(copy + 1));
    model_.contexts.erase(model_.contexts.begin() + static_cast<std::ptrdiff_t>(copy + 1));
    model_.procedure_count = 0;
    return "Destroy [" + std::to_string(copy + 1) + "]";
  }
  if (copies_.size() >= kMostCopies) return "(no copy: enough are live)";
  const size_t c = Pick(live_.size());
  copies_.push_back(OpsOf(c).Copy(Live(c)));
  live_.push_back(copies_.back().get());
  model_.contexts.push_back(model_.contexts[c]);
  return "[" + std::to_string(live_.size() - 1) + "] = Copy of [" + std::to_string(c) + "]";
}

void ScriptModelTest::CheckBoxes() {
  const std::vector<ShownBox>& shown = ShownBoxes();
  ASSERT_EQ(shown.size(), model_.boxes.size()) << "message boxes shown so far";
  for (; boxes_checked_ < shown.size(); ++boxes_checked_) {
    const ShownBox& box = shown[boxes_checked_];
    const ModelBox& expected = model_.boxes[boxes_checked_];
    EXPECT_EQ(box.text, expected.text);
    EXPECT_EQ(box.title, u"[Korvash]");
    EXPECT_EQ(box.style, 0x2010u);
    // Error state is set only once the box is dismissed.
    EXPECT_EQ(box.error_flag_meanwhile, expected.error_flag_before);
    EXPECT_EQ(box.last_error_text_meanwhile, expected.last_error_text_before);
  }
  EXPECT_EQ(error_flag, model_.error_flag);
  EXPECT_EQ(last_error_text, model_.last_error_text);
}

void ScriptModelTest::CheckState() {
  const int32_t count = static_cast<int32_t>(model_.variables.size());
  ASSERT_EQ(variable_count, count);
  ASSERT_EQ(variable_table.Length(), count);
  for (int32_t i = 1; i <= count; ++i) {
    const VariableRecord& got = *variable_table.At(i);
    const ModelVariable& want = model_.variables[static_cast<size_t>(i - 1)];
    EXPECT_EQ(got.name, want.name) << "variable " << i;
    EXPECT_EQ(got.type_code, want.type_code) << "variable " << i;
    EXPECT_EQ(got.is_constant, want.is_constant) << "variable " << i;
    EXPECT_EQ(got.scope, want.scope) << "variable " << i;
    ASSERT_NE(got.value, nullptr) << "variable " << i;
    EXPECT_TRUE(Holds(*got.value, want.value.vt, want.value.number, want.value.text))
        << "variable " << i;
  }
  EXPECT_EQ(builtin_count, WithConstants() ? 69 : 0);
  EXPECT_EQ(init_marker, WithConstants() ? -1 : 0);
  EXPECT_EQ(procedure_count, model_.procedure_count);

  ASSERT_EQ(live_.size(), model_.contexts.size());
  ASSERT_EQ(live_[0], script_context);
  for (size_t c = 0; c < live_.size(); ++c) {
    const ScriptContext& context = *live_[c];
    const ModelContext& want = model_.contexts[c];
    EXPECT_EQ(context.operations, &kScriptContextOperations) << "context " << c;
    ASSERT_EQ(context.procedures.Length(), static_cast<int32_t>(want.procedures.size()))
        << "context " << c;
    for (int32_t i = 1; i <= context.procedures.Length(); ++i) {
      const ProcedureRecord& got = *context.procedures.At(i);
      const ModelProcedure& p = want.procedures[static_cast<size_t>(i - 1)];
      EXPECT_EQ(got.name, p.name) << "context " << c << " procedure " << i;
      EXPECT_EQ(got.defined_number, p.defined_number) << "context " << c << " procedure " << i;
      EXPECT_EQ(got.redefine_flag, p.redefine_flag) << "context " << c << " procedure " << i;
      EXPECT_EQ(got.attached_text, p.attached_text) << "context " << c << " procedure " << i;
      EXPECT_EQ(got.defined_text, p.defined_text) << "context " << c << " procedure " << i;
      EXPECT_EQ(got.spare, 0) << "context " << c << " procedure " << i;
    }
    ASSERT_EQ(context.frames.Length(), static_cast<int32_t>(want.frames.size()))
        << "context " << c;
    for (int32_t i = 1; i <= context.frames.Length(); ++i) {
      EXPECT_EQ(Describe(*context.frames.At(i)),
                Describe(*SampleFrame(want.frames[static_cast<size_t>(i - 1)])))
          << "context " << c << " frame " << i;
    }
  }
}

TEST_P(ScriptModelTest, RandomSequencesAgreeWithTheModel) {
  live_.push_back(script_context);
  std::string log;
  const auto fail_with_log = [&](int step) {
    ADD_FAILURE() << "seed " << GetParam() << " disagrees at step " << step
                  << "; the sequence up to there:\n"
                  << log;
  };
  {
    SCOPED_TRACE("seed " + std::to_string(GetParam()) + ", before the first step");
    CheckBoxes();
    CheckState();
    if (HasFailure()) return fail_with_log(0);
  }
  for (int step = 1; step <= kSteps; ++step) {
    SCOPED_TRACE("seed " + std::to_string(GetParam()) + ", step " + std::to_string(step));
    const std::string what = Step();
    log += "  " + std::to_string(step) + ": " + what + "\n";
    CheckBoxes();
    CheckState();
    if (HasFailure()) return fail_with_log(step);
  }

  // Destroying the remaining copies leaves the count at 0 and the module's
  // context as it was.
  SCOPED_TRACE("seed " + std::to_string(GetParam()) + ", after the last step");
  while (!copies_.empty()) {
    copies_.pop_back();
    live_.pop_back();
    model_.contexts.pop_back();
    model_.procedure_count = 0;
  }
  CheckBoxes();
  CheckState();
  if (HasFailure()) return fail_with_log(kSteps + 1);

  // Teardown releases every record, text and Variant (LeakSanitizer checks)
  // and leaves the load state.
  base::RunExitRoutine();
  live_.clear();
  ExpectModuleInLoadState();
}

INSTANTIATE_TEST_SUITE_P(Seeds, ScriptModelTest, ::testing::Range(1u, 21u));

}  // namespace
}  // namespace script_test
