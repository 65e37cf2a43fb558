#include <cctype>
#include <climits>

#include "tests/script/script_test_support.h"

namespace script_test {
namespace {

// 变量重定义 and 不能给常量赋值, as GBK.
const Text kRedefined = "\xB1\xE4\xC1\xBF\xD6\xD8\xB6\xA8\xD2\xE5";
const Text kAssignToConstant = "\xB2\xBB\xC4\xDC\xB8\xF8\xB3\xA3\xC1\xBF\xB8\xB3\xD6\xB5";

std::string NameOf(const char* what) {
  std::string name;
  for (const char* c = what; *c != '\0'; ++c) {
    name += (std::isalnum(static_cast<unsigned char>(*c)) != 0) ? *c : '_';
  }
  return name;
}

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  return NameOf(info.param.what);
}

using RegistryTest = ModuleTest;

TEST_F(RegistryTest, EmptyTableFindsNothingAndFirstDefinitionTakesPositionOne) {
  for (const char* name : {"", "x", "TRUE"}) {
    for (const char* scope : {"", "f"}) EXPECT_EQ(FindVariable(name, scope), 0) << name << scope;
  }
  EXPECT_EQ(DefineVariable("x", kIntegerType, 0, ""), 1);
  EXPECT_EQ(variable_count, 1);
  EXPECT_EQ(variable_table.Length(), 1);
}

TEST_F(RegistryTest, DefinitionKeepsTheGivenFieldsAndStartsFromTheDefaultValue) {
  ASSERT_EQ(DefineVariable("Count", kTextType, 1, "Main"), 1);
  const VariableRecord& record = Variable(1);
  EXPECT_EQ(record.name, "Count");
  EXPECT_EQ(record.type_code, kTextType);
  EXPECT_EQ(record.is_constant, 1);
  EXPECT_EQ(record.scope, "Main");
  EXPECT_TRUE(Holds(*record.value, VT_BSTR, 0, u""));
  EXPECT_EQ(error_flag, 0);
}

// ---- Finding by name and scope ----------------------------------------------

struct Lookup {
  const char* what;
  Text name;
  Text scope;
  int32_t position;
};

void PrintTo(const Lookup& c, std::ostream* out) { *out << c.what; }

class FindVariableTest : public ModuleTest, public ::testing::WithParamInterface<Lookup> {
 protected:
  void SetUp() override {
    ModuleTest::SetUp();
    ASSERT_EQ(DefineVariable("Count", kIntegerType, 0, ""), 1);
    ASSERT_EQ(DefineVariable("x", kIntegerType, 0, "f"), 2);
    ASSERT_EQ(DefineVariable("x", kIntegerType, 0, "g"), 3);  // another scope: a new record
    ASSERT_EQ(DefineVariable("\x81\x41", kIntegerType, 0, ""), 4);
    ASSERT_EQ(error_flag, 0);
  }
};

TEST_P(FindVariableTest, AnswersTheFirstMatchInPositionOrder) {
  EXPECT_EQ(FindVariable(GetParam().name, GetParam().scope), GetParam().position);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FindVariableTest,
    ::testing::Values(
        Lookup{"capitals, module-wide", "COUNT", "", 1},
        Lookup{"module-wide record seen from any scope", "count", "anything", 1},
        Lookup{"empty scope takes the first of the name", "x", "", 2},
        Lookup{"own scope", "x", "g", 3},
        Lookup{"scope folds case too", "X", "F", 2},
        Lookup{"no record in that scope", "x", "h", 0},
        Lookup{"prefix is not a match", "Coun", "", 0},
        Lookup{"longer name is not a match", "Counts", "", 0},
        Lookup{"double-byte character exact", "\x81\x41", "f", 4},
        Lookup{"trail byte is not folded", "\x81\x61", "", 0}),
    CaseName<Lookup>);

// ---- Repeated definitions ------------------------------------------------------

struct Redefinition {
  const char* what;
  Text first_name;
  Text first_scope;
  bool has_procedure;  // a procedure named `procedure` with `redefine_flag`
  Text procedure;
  int32_t redefine_flag;
  Text name;
  Text scope;
  int32_t result;  // 1: the existing record; 0: refused with a report
};

void PrintTo(const Redefinition& c, std::ostream* out) { *out << c.what; }

class RedefinitionTest : public ModuleTest,
                         public ::testing::WithParamInterface<Redefinition> {};

TEST_P(RedefinitionTest, FollowsTheRedefineFlagOfTheScopeAskedFor) {
  const Redefinition& c = GetParam();
  ASSERT_EQ(DefineVariable(c.first_name, kIntegerType, 0, c.first_scope), 1);
  if (c.has_procedure) Ops().DefineProcedure(Context(), c.procedure, 0, c.redefine_flag, "");

  EXPECT_EQ(DefineVariable(c.name, kBooleanType, 1, c.scope), c.result);

  // Either way the table is unchanged; the new type code and flag are dropped.
  EXPECT_EQ(variable_count, 1);
  const VariableRecord& record = Variable(1);
  EXPECT_EQ(record.name, c.first_name);
  EXPECT_EQ(record.type_code, kIntegerType);
  EXPECT_EQ(record.is_constant, 0);
  EXPECT_EQ(record.scope, c.first_scope);
  EXPECT_TRUE(Holds(*record.value, VT_I4, 0));
  if (c.result == 0) {
    ASSERT_EQ(ShownBoxes().size(), 1u);
    EXPECT_EQ(ShownBoxes()[0].text, u"变量重定义" + GbkToUtf16(c.name));
    EXPECT_EQ(error_flag, 1);
    EXPECT_EQ(last_error_text, kRedefined + c.name);
  } else {
    EXPECT_TRUE(ShownBoxes().empty());
    EXPECT_EQ(error_flag, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RedefinitionTest,
    ::testing::Values(
        Redefinition{"module-wide, case differs, no procedure", "Total", "", false, "", 0,
                     "TOTAL", "", 0},
        Redefinition{"module-wide, empty-named procedure allows", "Total", "", true, "", 1,
                     "total", "", 1},
        Redefinition{"module-wide, empty-named procedure refuses", "Total", "", true, "", 0,
                     "Total", "", 0},
        Redefinition{"same scope, flag on", "Total", "f", true, "F", 1, "Total", "f", 1},
        Redefinition{"same scope, flag off", "Total", "f", true, "f", 0, "Total", "f", 0},
        Redefinition{"module-wide met from a scope, flag on", "Total", "", true, "f", 1,
                     "Total", "f", 1},
        Redefinition{"module-wide met from a scope, no procedure", "Total", "", false, "", 0,
                     "total", "f", 0},
        Redefinition{"flag of the scope asked, not of the record", "Total", "f", true, "f", 1,
                     "Total", "", 0},
        Redefinition{"Chinese name keeps its bytes in the report", "\xD7\xDC\xBC\xC6", "",
                     false, "", 0, "\xD7\xDC\xBC\xC6", "", 0},
        Redefinition{"empty name reports the bare message", "", "", false, "", 0, "", "", 0}),
    CaseName<Redefinition>);

struct ConstantRedefinition {
  const char* what;
  Text name;
  Text scope;
  bool has_procedure;
  int32_t redefine_flag;
  int32_t result;
};

void PrintTo(const ConstantRedefinition& c, std::ostream* out) { *out << c.what; }

class ConstantRedefinitionTest : public StartedModuleTest,
                                 public ::testing::WithParamInterface<ConstantRedefinition> {};

TEST_P(ConstantRedefinitionTest, MeetsTheModuleWideConstant) {
  const ConstantRedefinition& c = GetParam();
  if (c.has_procedure) Ops().DefineProcedure(Context(), c.scope, 0, c.redefine_flag, "");

  EXPECT_EQ(DefineVariable(c.name, kTextType, 0, c.scope), c.result);

  EXPECT_EQ(variable_count, 69);
  EXPECT_EQ(builtin_count, 69);
  EXPECT_EQ(error_flag, c.result == 0 ? 1 : 0);
  if (c.result == 0) {
    EXPECT_EQ(last_error_text, kRedefined + c.name);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConstantRedefinitionTest,
    ::testing::Values(
        ConstantRedefinition{"TRUE module-wide", "TRUE", "", false, 0, 0},
        ConstantRedefinition{"MB_OK module-wide", "#MB_OK", "", false, 0, 0},
        ConstantRedefinition{"Chinese constant", "\xD5\xE6", "", false, 0, 0},
        ConstantRedefinition{"from a scope that allows", "#mb_ok", "main", true, 1, 15},
        ConstantRedefinition{"from a scope that refuses", "#MB_Ok", "main", true, 0, 0},
        ConstantRedefinition{"from a scope without procedure", "False", "main", false, 0, 0},
        ConstantRedefinition{"GBK encoding name", "gbk\xD6\xD0\xCE\xC4", "Main", true, 1, 67}),
    CaseName<ConstantRedefinition>);

TEST_F(StartedModuleTest, LaterDefinitionsFollowTheConstants) {
  EXPECT_EQ(DefineVariable("mine", kIntegerType, 0, ""), 70);
  EXPECT_EQ(builtin_count, 69);
}

// ---- Assignment ---------------------------------------------------------------

struct Assignment {
  const char* what;
  int32_t is_constant;
  int32_t force;
  int32_t type_code;
  VariantPtr (*value)();
  bool refused;
  VARTYPE vt;  // what the record then holds
  int32_t number;
  std::u16string text;
};

void PrintTo(const Assignment& c, std::ostream* out) { *out << c.what; }

class AssignVariableTest : public ModuleTest, public ::testing::WithParamInterface<Assignment> {};

TEST_P(AssignVariableTest, StoresACopyUnlessAConstantRefuses) {
  const Assignment& c = GetParam();
  ASSERT_EQ(DefineVariable("v", c.type_code, c.is_constant, ""), 1);

  AssignVariable(1, *c.value(), c.force);

  EXPECT_TRUE(Holds(*Variable(1).value, c.vt, c.number, c.text));
  EXPECT_EQ(Variable(1).type_code, c.type_code);
  if (c.refused) {
    ASSERT_EQ(ShownBoxes().size(), 1u);
    EXPECT_EQ(ShownBoxes()[0].text, u"不能给常量赋值");
    EXPECT_EQ(last_error_text, kAssignToConstant);
    EXPECT_EQ(error_flag, 1);
  } else {
    EXPECT_TRUE(ShownBoxes().empty());
    EXPECT_EQ(error_flag, 0);
  }
}

VariantPtr Seven() { return Integer(7); }
VariantPtr Abc() { return Utf16Text(u"abc"); }
VariantPtr True() { return Boolean(true); }

INSTANTIATE_TEST_SUITE_P(
    Cases, AssignVariableTest,
    ::testing::Values(
        Assignment{"constant without force", 1, 0, kIntegerType, &Seven, true, VT_I4, 0, u""},
        Assignment{"any non-zero constant flag", -3, 0, kTextType, &Seven, true, VT_BSTR, 0,
                   u""},
        Assignment{"constant with force", 1, 1, kIntegerType, &Seven, false, VT_I4, 7, u""},
        Assignment{"any non-zero force", 1, -1, kBooleanType, &True, false, VT_BOOL, -1, u""},
        Assignment{"variable", 0, 0, kIntegerType, &Seven, false, VT_I4, 7, u""},
        Assignment{"text into an integer variable", 0, 0, kIntegerType, &Abc, false, VT_BSTR, 0,
                   u"abc"},
        Assignment{"boolean into a text variable", 0, 0, kTextType, &True, false, VT_BOOL, -1,
                   u""}),
    CaseName<Assignment>);

TEST_F(RegistryTest, AssignmentTakesACopyOfTheCallersValue) {
  ASSERT_EQ(DefineVariable("v", kTextType, 0, ""), 1);
  VariantPtr mine = Utf16Text(u"mine");
  AssignVariable(1, *mine, 0);
  EXPECT_NE(Variable(1).value->bstrVal, mine->bstrVal);
  mine.reset();
  EXPECT_TRUE(Holds(*Variable(1).value, VT_BSTR, 0, u"mine"));

  // The record's own value: copied before the old one is released.
  AssignVariable(1, *Variable(1).value, 0);
  EXPECT_TRUE(Holds(*Variable(1).value, VT_BSTR, 0, u"mine"));
}

// ---- Default values -------------------------------------------------------------

struct Default {
  int32_t type_code;
  VARTYPE vt;
};

void PrintTo(const Default& c, std::ostream* out) { *out << "type code " << c.type_code; }

class DefaultValueTest : public ::testing::TestWithParam<Default> {};

TEST_P(DefaultValueTest, GivesTheTypesFirstValue) {
  const VariantPtr value = DefaultValue(GetParam().type_code);
  EXPECT_TRUE(Holds(*value, GetParam().vt, 0, u""));
}

INSTANTIATE_TEST_SUITE_P(Codes, DefaultValueTest,
                         ::testing::Values(Default{1, VT_I4}, Default{2, VT_BOOL},
                                           Default{3, VT_BSTR}, Default{4, VT_I4},
                                           Default{5, VT_I4}, Default{-1, VT_BSTR},
                                           Default{0, VT_I4}, Default{99, VT_I4},
                                           Default{-2, VT_I4}, Default{INT32_MIN, VT_I4},
                                           Default{INT32_MAX, VT_I4}),
                         [](const ::testing::TestParamInfo<Default>& info) {
                           const int32_t code = info.param.type_code;
                           return (code < 0 ? "minus_" : "") +
                                  std::to_string(code < 0 ? -int64_t{code} : int64_t{code});
                         });

}  // namespace
}  // namespace script_test
