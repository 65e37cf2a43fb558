// Shared by the script module's tests: a fixture that brings the module up
// and down as the program does, a message box recorder, and value checks.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/process_end.h"
#include "script/error_report.h"
#include "script/module_state.h"
#include "script/script_context.h"
#include "script/script_module.h"
#include "script/text.h"
#include "script/variables.h"
#include "script/variant.h"

namespace script_test {

using namespace script;

struct ShownBox {
  std::u16string text;
  std::u16string title;
  uint32_t style;
  // The module's error state while the box was up.
  int32_t error_flag_meanwhile;
  Text last_error_text_meanwhile;
};

// Boxes shown since the current case began, oldest first.
const std::vector<ShownBox>& ShownBoxes();

// A fatal error ends the process with status -1 (255 as a POSIX status).
#ifdef _WIN32
constexpr int kFatalStatus = -1;
#else
constexpr int kFatalStatus = 255;
#endif
// The recorder also writes every box to stderr, so death tests can see that
// the fatal-error box came up, in the child process too.
constexpr char kFatalBoxPattern[] = "message box 0x2010 title=Kestravo";

// Each case begins as program start does (ScriptModuleStart, teardown
// stored as the exit routine, and ScriptModuleInit for StartedModuleTest)
// and ends as an orderly exit does, so LeakSanitizer sees whatever the module
// failed to release. Message boxes are recorded, never shown.
class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  virtual bool WithConstants() const { return false; }

  ScriptContext& Context() { return *script_context; }
  const ScriptContextOperations& Ops() { return *script_context->operations; }
  const VariableRecord& Variable(int32_t position) { return *variable_table.At(position); }

 private:
  base::MessageBoxFn previous_seam_ = nullptr;
};

class StartedModuleTest : public ModuleTest {
 protected:
  bool WithConstants() const override { return true; }
};

// Values as a caller builds them.
VariantPtr Integer(int32_t number);
VariantPtr Boolean(bool truth);
VariantPtr Utf16Text(const std::u16string& text);

// The value's kind and payload: VT_I4 and VT_BOOL compare `number` (VT_BOOL
// true is -1), VT_BSTR compares `text`.
::testing::AssertionResult Holds(const VARIANT& value, VARTYPE vt, int32_t number,
                                 const std::u16string& text = u"");

// A readable rendering of a frame's whole content (operation table left
// out), for comparing copies.
std::string Describe(const FrameRecord& frame);

// A frame with one variable and one entry whose values include a string.
FramePtr SampleFrame(int32_t first_number);

// Every module value is as it was when the program was loaded.
void ExpectModuleInLoadState();

}  // namespace script_test
