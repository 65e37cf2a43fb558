#include "tests/script/script_test_support.h"

namespace script_test {
namespace {

// 重复定义过程:
const Text kDuplicateProcedure = "\xD6\xD8\xB8\xB4\xB6\xA8\xD2\xE5\xB9\xFD\xB3\xCC:";

class ProcedureTest : public ModuleTest {
 protected:
  void Define(const Text& name, int32_t number = 0, int32_t flag = 0, const Text& text = "") {
    Ops().DefineProcedure(Context(), name, number, flag, text);
  }
  int32_t Find(const Text& name) { return Ops().FindProcedure(Context(), name); }
};

TEST_F(ProcedureTest, MixedCaseNameIsStoredLoweredAndFoundInAnyCase) {
  Define("Main", 3, 0, "x");
  EXPECT_EQ(procedure_count, 1);
  EXPECT_EQ(Find("MAIN"), 1);
  EXPECT_EQ(Find("main"), 1);
  EXPECT_EQ(Ops().GetProcedureNameAt(Context(), 1), "main");
  EXPECT_EQ(Ops().GetDefinedNumber(Context(), "mAIN"), 3);
  EXPECT_EQ(Ops().GetDefinedText(Context(), "Main"), "x");
  EXPECT_EQ(Ops().GetRedefineFlag(Context(), "MAIN"), 0);

  Ops().SetRedefineFlag(Context(), "main", 1, 0);
  EXPECT_EQ(Ops().GetRedefineFlag(Context(), "MAIN"), 1);
  EXPECT_EQ(Context().procedures.At(1)->spare, 0);
  EXPECT_TRUE(ShownBoxes().empty());
}

struct Duplicate {
  const char* what;
  Text first;
  Text second;
  std::u16string shown;
};

void PrintTo(const Duplicate& c, std::ostream* out) { *out << c.what; }

class DuplicateProcedureTest : public ProcedureTest,
                               public ::testing::WithParamInterface<Duplicate> {};

TEST_P(DuplicateProcedureTest, IsReportedWithTheNameAsGiven) {
  Define(GetParam().first, 3, 0, "first");
  Define(GetParam().second, 9, 1, "second");

  EXPECT_EQ(procedure_count, 1);
  EXPECT_EQ(Context().procedures.Length(), 1);
  EXPECT_EQ(Ops().GetDefinedNumber(Context(), GetParam().first), 3);
  EXPECT_EQ(Ops().GetDefinedText(Context(), GetParam().first), "first");
  ASSERT_EQ(ShownBoxes().size(), 1u);
  EXPECT_EQ(ShownBoxes()[0].text, GetParam().shown);
  EXPECT_EQ(last_error_text, kDuplicateProcedure + GetParam().second);
  EXPECT_EQ(error_flag, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DuplicateProcedureTest,
    ::testing::Values(Duplicate{"case differs", "Main", "MAIN", u"重复定义过程:MAIN"},
                      Duplicate{"same name", "\xD6\xF7", "\xD6\xF7", u"重复定义过程:主"},
                      Duplicate{"empty name", "", "", u"重复定义过程:"}));

TEST_F(ProcedureTest, TrailByteOfADoubleByteCharacterIsNotFolded) {
  Define("\x81\x41");
  EXPECT_EQ(Find("\x81\x61"), 0);
  Define("\x81\x61");
  EXPECT_EQ(Find("\x81\x61"), 2);
  EXPECT_TRUE(ShownBoxes().empty());
}

TEST_F(ProcedureTest, UnknownNameIsNoError) {
  Define("known", 4, 1, "text");
  Ops().SetAttachedTextAt(Context(), 1, "attached");
  Ops().SetRedefineFlag(Context(), "unknown", 7, 0);

  EXPECT_EQ(Find("unknown"), 0);
  EXPECT_EQ(Ops().GetRedefineFlag(Context(), "unknown"), 0);
  EXPECT_EQ(Ops().GetDefinedNumber(Context(), "unknown"), 0);
  EXPECT_EQ(Ops().GetDefinedText(Context(), "unknown"), "");
  EXPECT_EQ(Ops().GetAttachedText(Context(), "unknown"), "");
  EXPECT_EQ(Ops().GetRedefineFlag(Context(), "known"), 1);
  EXPECT_EQ(Ops().GetAttachedText(Context(), "known"), "attached");
  EXPECT_TRUE(ShownBoxes().empty());
  EXPECT_EQ(error_flag, 0);
}

TEST_F(ProcedureTest, AttachedTextIsEmptyUntilSet) {
  Define("first");
  Define("Second");
  EXPECT_EQ(Ops().GetAttachedText(Context(), "second"), "");
  EXPECT_EQ(Ops().GetAttachedTextAt(Context(), 2), "");

  Ops().SetAttachedTextAt(Context(), 2, "note");
  Ops().SetAttachedTextAt(Context(), 2, "\xD7\xA2");  // replaced
  EXPECT_EQ(Ops().GetAttachedText(Context(), "SECOND"), "\xD7\xA2");
  EXPECT_EQ(Ops().GetAttachedTextAt(Context(), 2), "\xD7\xA2");
  EXPECT_EQ(Ops().GetAttachedTextAt(Context(), 1), "");
}

TEST_F(ProcedureTest, PositionsBelowOneReadAsEmpty) {
  Define("only");
  Ops().SetAttachedTextAt(Context(), 1, "note");
  for (int32_t index : {0, -5, INT32_MIN}) {
    EXPECT_EQ(Ops().GetAttachedTextAt(Context(), index), "") << index;
    EXPECT_EQ(Ops().GetProcedureNameAt(Context(), index), "") << index;
  }
}

TEST_F(ProcedureTest, ClearingStartsPositionsAgain) {
  Define("a");
  Define("b");
  Ops().ClearProcedures(Context());
  EXPECT_EQ(procedure_count, 0);
  EXPECT_EQ(Context().procedures.Length(), 0);
  EXPECT_EQ(Find("a"), 0);

  Define("c", 5);
  EXPECT_EQ(Find("c"), 1);
  EXPECT_EQ(Find("b"), 0);
  EXPECT_EQ(procedure_count, 1);
  EXPECT_EQ(Ops().GetDefinedNumber(Context(), "c"), 5);
}

}  // namespace
}  // namespace script_test
