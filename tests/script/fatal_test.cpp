// Positions outside a list end the program at once: the fatal-error box, then
// exit status -1.
#include "tests/script/script_test_support.h"

namespace script_test {
namespace {

struct OutOfRange {
  const char* what;
  void (*run)(ScriptContext& context);
};

void PrintTo(const OutOfRange& c, std::ostream* out) { *out << c.what; }

// Every case starts from the constants (69 variables), one procedure and one
// frame.
class RangeDeathTest : public StartedModuleTest,
                       public ::testing::WithParamInterface<OutOfRange> {
 protected:
  void SetUp() override {
    StartedModuleTest::SetUp();
    Ops().DefineProcedure(Context(), "main", 0, 0, "");
    Context().frames.Append(SampleFrame(1));
  }
};

TEST_P(RangeDeathTest, EndsTheProgramWithStatusMinusOne) {
  ScriptContext& context = Context();
  EXPECT_EXIT(GetParam().run(context), ::testing::ExitedWithCode(kFatalStatus), kFatalBoxPattern);
}

void AssignAt(int32_t position) { AssignVariable(position, *Integer(1), 1); }

INSTANTIATE_TEST_SUITE_P(
    Cases, RangeDeathTest,
    ::testing::Values(
        OutOfRange{"AssignVariableAtZero", [](ScriptContext&) { AssignAt(0); }},
        OutOfRange{"AssignVariableBeyondTheTable", [](ScriptContext&) { AssignAt(70); }},
        OutOfRange{"GetAttachedTextAtBeyond",
                   [](ScriptContext& c) { c.operations->GetAttachedTextAt(c, 2); }},
        OutOfRange{"GetProcedureNameAtBeyond",
                   [](ScriptContext& c) { c.operations->GetProcedureNameAt(c, 2); }},
        OutOfRange{"SetAttachedTextAtZero",
                   [](ScriptContext& c) { c.operations->SetAttachedTextAt(c, 0, "x"); }},
        OutOfRange{"SetAttachedTextAtBeyond",
                   [](ScriptContext& c) { c.operations->SetAttachedTextAt(c, 2, "x"); }},
        OutOfRange{"GetFrameAtZero", [](ScriptContext& c) { c.operations->GetFrame(c, 0); }},
        OutOfRange{"GetFrameBeyond", [](ScriptContext& c) { c.operations->GetFrame(c, 2); }},
        OutOfRange{"SetFrameAtMinusOne",
                   [](ScriptContext& c) { c.operations->SetFrame(c, -1, *SampleFrame(2)); }},
        OutOfRange{"SetFrameBeyond",
                   [](ScriptContext& c) { c.operations->SetFrame(c, 2, *SampleFrame(2)); }}),
    [](const ::testing::TestParamInfo<OutOfRange>& info) { return std::string(info.param.what); });

// Start-up leaves the frame list empty: every index is out of range.
using EmptyFramesDeathTest = ModuleTest;

TEST_F(EmptyFramesDeathTest, EveryIndexIsFatal) {
  const FramePtr frame = SampleFrame(1);
  for (int32_t index : {-1, 0, 1}) {
    EXPECT_EXIT(Ops().GetFrame(Context(), index), ::testing::ExitedWithCode(kFatalStatus),
                kFatalBoxPattern);
    EXPECT_EXIT(Ops().SetFrame(Context(), index, *frame), ::testing::ExitedWithCode(kFatalStatus),
                kFatalBoxPattern);
  }
}

}  // namespace
}  // namespace script_test
