#include "tests/script/script_test_support.h"

namespace script_test {
namespace {

class ContextTest : public ModuleTest {
 protected:
  void Define(ScriptContext& context, const Text& name, int32_t number = 0) {
    context.operations->DefineProcedure(context, name, number, 0, "text of " + name);
  }
};

TEST_F(ContextTest, StartLeavesAnEmptyModule) {
  ASSERT_NE(script_context, nullptr);
  EXPECT_EQ(Context().operations, &kScriptContextOperations);
  EXPECT_EQ(Context().procedures.Length(), 0);
  EXPECT_EQ(Context().frames.Length(), 0);
  EXPECT_EQ(procedure_count, 0);
  EXPECT_EQ(variable_table.Length(), 0);
  EXPECT_EQ(variable_count, 0);
  EXPECT_EQ(error_flag, 0);
  EXPECT_EQ(last_error_text, "");
  EXPECT_EQ(init_marker, 0);
  EXPECT_EQ(base::StoredExitRoutine(), &ScriptModuleTeardown);
}

TEST_F(ContextTest, CopyIsDeepAndIndependent) {
  Define(Context(), "Alpha", 1);
  Define(Context(), "beta", 2);
  Ops().SetAttachedTextAt(Context(), 2, "attached");
  Ops().SetRedefineFlag(Context(), "alpha", 1, 0);
  Context().procedures.At(2)->spare = 77;
  Context().frames.Append(SampleFrame(1));

  const ContextPtr copy = Ops().Copy(Context());
  EXPECT_EQ(procedure_count, 2);
  ASSERT_EQ(copy->procedures.Length(), 2);
  EXPECT_EQ(copy->operations, Context().operations);
  for (int32_t i = 1; i <= 2; ++i) {
    const ProcedureRecord& a = *Context().procedures.At(i);
    const ProcedureRecord& b = *copy->procedures.At(i);
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.defined_number, b.defined_number);
    EXPECT_EQ(a.redefine_flag, b.redefine_flag);
    EXPECT_EQ(a.attached_text, b.attached_text);
    EXPECT_EQ(a.defined_text, b.defined_text);
    EXPECT_EQ(a.spare, b.spare);
  }
  ASSERT_EQ(copy->frames.Length(), 1);
  EXPECT_EQ(Describe(*copy->frames.At(1)), Describe(*Context().frames.At(1)));
  EXPECT_NE(copy->frames.At(1)->variables.At(1)->value->bstrVal,
            Context().frames.At(1)->variables.At(1)->value->bstrVal);

  copy->operations->SetAttachedTextAt(*copy, 2, "changed in the copy");
  SetText(*copy->frames.At(1)->entries.At(1)->values.items.At(2), "changed");
  EXPECT_EQ(Ops().GetAttachedTextAt(Context(), 2), "attached");
  EXPECT_TRUE(Holds(*Context().frames.At(1)->entries.At(1)->values.items.At(2), VT_BSTR, 0,
                    u"item"));
}

TEST_F(ContextTest, CopyOfAnEmptyContextIsEmpty) {
  const ContextPtr copy = Ops().Copy(Context());
  EXPECT_EQ(copy->procedures.Length(), 0);
  EXPECT_EQ(copy->frames.Length(), 0);
}

TEST_F(ContextTest, DestroyingAnyContextZeroesTheCount) {
  Define(Context(), "a");
  ContextPtr copy = Ops().Copy(Context());
  copy.reset();
  EXPECT_EQ(procedure_count, 0);
  EXPECT_EQ(Context().procedures.Length(), 1);
}

// ---- procedure_count with a second context --------------------------------------

TEST_F(ContextTest, DefiningAfterTheCopyWasDestroyedKeepsEveryRecord) {
  Define(Context(), "a", 1);
  Define(Context(), "b", 2);
  ContextPtr copy = Ops().Copy(Context());
  Define(*copy, "only in copy");
  copy.reset();  // the count is now 0

  Define(Context(), "c", 3);
  ASSERT_EQ(Context().procedures.Length(), 3);
  EXPECT_EQ(Ops().FindProcedure(Context(), "a"), 1);
  EXPECT_EQ(Ops().FindProcedure(Context(), "b"), 2);
  EXPECT_EQ(Ops().FindProcedure(Context(), "c"), 3);
  EXPECT_EQ(Ops().GetDefinedNumber(Context(), "b"), 2);
  EXPECT_EQ(Ops().FindProcedure(Context(), "only in copy"), 0);
  EXPECT_EQ(procedure_count, 3);
}

TEST_F(ContextTest, TwoContextsGrowTheirOwnListsWithoutGaps) {
  Define(Context(), "a");
  const ContextPtr copy = Ops().Copy(Context());
  Define(*copy, "b");
  Define(*copy, "c");  // the count now describes the copy: 3

  Define(Context(), "d");
  ASSERT_EQ(Context().procedures.Length(), 2);
  EXPECT_EQ(Ops().GetProcedureNameAt(Context(), 2), "d");
  EXPECT_EQ(procedure_count, 2);

  // Each context still finds its own records, at their positions.
  EXPECT_EQ(copy->operations->FindProcedure(*copy, "c"), 3);
  EXPECT_EQ(copy->operations->FindProcedure(*copy, "d"), 0);
  EXPECT_EQ(Ops().FindProcedure(Context(), "c"), 0);
  EXPECT_EQ(copy->operations->GetProcedureNameAt(*copy, 3), "c");
  Define(*copy, "a");  // still a duplicate in the copy
  EXPECT_EQ(copy->procedures.Length(), 3);
}

TEST_F(ContextTest, AStaleCountNeverMakesAnInRangePositionFatal) {
  Define(Context(), "a");
  Define(Context(), "b");
  procedure_count = 99;
  EXPECT_EQ(Ops().FindProcedure(Context(), "missing"), 0);
  procedure_count = 0;
  EXPECT_EQ(Ops().GetRedefineFlag(Context(), "b"), 0);
  EXPECT_EQ(Ops().FindProcedure(Context(), "b"), 2);
  EXPECT_EQ(procedure_count, 2);
}

// ---- Frames ---------------------------------------------------------------------

// A frame kind that counts its operations and otherwise behaves as the
// module's own.
int g_destroyed = 0;
int g_copied = 0;
void CountingDestroy(FrameRecord& self) {
  ++g_destroyed;
  kFrameOperations.Destroy(self);
}
FramePtr CountingCopy(const FrameRecord& self) {
  ++g_copied;
  return kFrameOperations.Copy(self);
}
const FrameOperations kCountingFrame = {&CountingDestroy, &CountingCopy};

class FrameTest : public ContextTest {
 protected:
  void SetUp() override {
    ContextTest::SetUp();
    g_destroyed = g_copied = 0;
    Context().frames.Append(SampleFrame(1));
    Context().frames.Append(SampleFrame(2));
    Context().frames.At(2)->operations = &kCountingFrame;
  }
};

TEST_F(FrameTest, ContextCopyKeepsEachFramesKindWithoutCallingItsCopy) {
  const ContextPtr copy = Ops().Copy(Context());
  EXPECT_EQ(g_copied, 0);
  EXPECT_EQ(copy->frames.At(1)->operations, &kFrameOperations);
  EXPECT_EQ(copy->frames.At(2)->operations, &kCountingFrame);
  EXPECT_EQ(Describe(*copy->frames.At(2)), Describe(*Context().frames.At(2)));
}

TEST_F(FrameTest, DestroyGoesThroughEachFramesOwnKind) {
  ContextPtr copy = Ops().Copy(Context());
  copy.reset();
  EXPECT_EQ(g_destroyed, 1);
}

TEST_F(FrameTest, GetFrameHandsOutACopyMadeByTheFrame) {
  FramePtr frame = Ops().GetFrame(Context(), 2);
  EXPECT_EQ(g_copied, 1);
  EXPECT_EQ(Describe(*frame), Describe(*Context().frames.At(2)));
  frame->variables.At(1)->name = "changed";
  EXPECT_EQ(Context().frames.At(2)->variables.At(1)->name, "Local");
}

TEST_F(FrameTest, SetFrameReplacesWithTheGivenFramesCopy) {
  FramePtr replacement = SampleFrame(30);
  replacement->operations = &kCountingFrame;
  Ops().SetFrame(Context(), 1, *replacement);
  EXPECT_EQ(g_copied, 1);
  EXPECT_EQ(Context().frames.At(1)->first_number, 30);
  EXPECT_EQ(Describe(*Context().frames.At(1)), Describe(*replacement));
  EXPECT_NE(Context().frames.At(1).get(), replacement.get());  // still the caller's

  Ops().SetFrame(Context(), 1, *SampleFrame(40));
  EXPECT_EQ(g_destroyed, 1);  // the counting frame set above
}

TEST_F(FrameTest, SetFrameOfTheFrameAlreadyThereLeavesAnEqualCopy) {
  const std::string before = Describe(*Context().frames.At(2));
  Ops().SetFrame(Context(), 2, *Context().frames.At(2));
  EXPECT_EQ(g_copied, 1);
  EXPECT_EQ(g_destroyed, 1);
  EXPECT_EQ(Describe(*Context().frames.At(2)), before);
  EXPECT_EQ(Context().frames.At(2)->operations, &kCountingFrame);
}

// ---- Start and teardown ---------------------------------------------------------

TEST_F(StartedModuleTest, TeardownReleasesEverythingOnceAndReturnsToTheLoadState) {
  Ops().DefineProcedure(Context(), "main", 0, 0, "");
  Context().frames.Append(SampleFrame(1));
  ReportError("error");

  base::RunExitRoutine();
  ExpectModuleInLoadState();
  EXPECT_EQ(base::StoredExitRoutine(), nullptr);

  ScriptModuleTeardown();  // a second run finds nothing to release
  EXPECT_EQ(script_context, nullptr);
}

TEST_F(StartedModuleTest, ASecondStartBeginsAfresh) {
  ScriptModuleStart();
  EXPECT_EQ(variable_count, 0);
  ScriptModuleInit();
  EXPECT_EQ(variable_count, 69);
  EXPECT_EQ(FindVariable("#mb_ok", ""), 15);
}

}  // namespace
}  // namespace script_test
