#include "tests/script/script_test_support.h"

#include <cstdio>

namespace script_test {
namespace {

std::vector<ShownBox> g_shown;

std::string Printable(const std::u16string& text) {
  std::string out;
  for (char16_t unit : text) {
    if (unit >= 0x20 && unit < 0x7F && unit != '\\') {
      out += static_cast<char>(unit);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(unit));
      out += escaped;
    }
  }
  return out;
}

std::string Printable(const Text& text) {
  std::string out;
  for (char byte : text) {
    const unsigned char b = static_cast<unsigned char>(byte);
    if (b >= 0x20 && b < 0x7F && b != '\\') {
      out += byte;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
      out += escaped;
    }
  }
  return out;
}

std::string DescribeValue(const VARIANT& value) {
  switch (value.vt) {
    case VT_I4:
      return "VT_I4 " + std::to_string(value.lVal);
    case VT_BOOL:
      return "VT_BOOL " + std::to_string(value.boolVal);
    case VT_BSTR:
      return "VT_BSTR \"" + Printable(BstrText(value.bstrVal)) + "\"";
    default:
      return "vt " + std::to_string(value.vt);
  }
}

int RecordBox(const std::u16string& text, const std::u16string& title, uint32_t style) {
  std::fprintf(stderr, "message box %#x title=%s text=%s\n", static_cast<unsigned>(style),
               Printable(title).c_str(), Printable(text).c_str());
  g_shown.push_back({text, title, style, error_flag, last_error_text});
  return 1;  // OK
}

}  // namespace

const std::vector<ShownBox>& ShownBoxes() { return g_shown; }

void ModuleTest::SetUp() {
  g_shown.clear();
  previous_seam_ = base::SetMessageBoxSeam(&RecordBox);
  ScriptModuleStart();
  base::StoreExitRoutine(&ScriptModuleTeardown);
  if (WithConstants()) ScriptModuleInit();
}

void ModuleTest::TearDown() {
  base::RunExitRoutine();
  base::SetMessageBoxSeam(previous_seam_);
}

VariantPtr Integer(int32_t number) {
  VariantPtr value = NewVariant();
  SetInteger(*value, number);
  return value;
}

VariantPtr Boolean(bool truth) {
  VariantPtr value = NewVariant();
  SetBoolean(*value, truth);
  return value;
}

VariantPtr Utf16Text(const std::u16string& text) {
  VariantPtr value = NewVariant();
  value->vt = VT_BSTR;
  value->bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                     static_cast<uint32_t>(text.size()));
  return value;
}

::testing::AssertionResult Holds(const VARIANT& value, VARTYPE vt, int32_t number,
                                 const std::u16string& text) {
  bool same = value.vt == vt;
  if (same && vt == VT_I4) same = value.lVal == number;
  if (same && vt == VT_BOOL) same = value.boolVal == number;
  if (same && vt == VT_BSTR) same = BstrText(value.bstrVal) == text;
  if (same) return ::testing::AssertionSuccess();
  VARIANT expected;
  VariantInit(&expected);
  std::string wanted;
  if (vt == VT_BSTR) {
    wanted = "VT_BSTR \"" + Printable(text) + "\"";
  } else {
    expected.vt = vt;
    expected.lVal = 0;
    if (vt == VT_BOOL) expected.boolVal = static_cast<VARIANT_BOOL>(number);
    if (vt == VT_I4) expected.lVal = number;
    wanted = DescribeValue(expected);
  }
  return ::testing::AssertionFailure() << "holds " << DescribeValue(value) << ", wanted " << wanted;
}

std::string Describe(const FrameRecord& frame) {
  std::string out = "numbers " + std::to_string(frame.first_number) + " " +
                    std::to_string(frame.second_number) + "\n";
  for (const VariableRecordPtr& variable : frame.variables) {
    out += "variable " + Printable(variable->name) + " " + std::to_string(variable->type_code) +
           " " + DescribeValue(*variable->value) + " " + std::to_string(variable->is_constant) +
           " " + Printable(variable->scope) + "\n";
  }
  for (const FrameEntryPtr& entry : frame.entries) {
    out += "entry " + Printable(entry->first_text) + " " + std::to_string(entry->number) + " " +
           Printable(entry->second_text) + " values " +
           std::to_string(entry->values.head_number) + " " +
           std::to_string(entry->values.tail_number);
    for (const VariantPtr& item : entry->values.items) out += " [" + DescribeValue(*item) + "]";
    out += "\n";
  }
  return out;
}

FramePtr SampleFrame(int32_t first_number) {
  FramePtr frame = NewFrameRecord();
  frame->first_number = first_number;
  frame->second_number = -7;
  auto variable = std::make_unique<VariableRecord>();
  variable->name = "Local";
  variable->type_code = kTextType;
  variable->value = Utf16Text(u"frame text");
  variable->scope = "main";
  frame->variables.Append(std::move(variable));
  auto entry = std::make_unique<FrameEntry>();
  entry->first_text = "first";
  entry->number = 42;
  entry->second_text = "second";
  entry->values.head_number = 0xDEADBEEF;
  entry->values.items.Append(Integer(5));
  entry->values.items.Append(Utf16Text(u"item"));
  entry->values.tail_number = 9;
  frame->entries.Append(std::move(entry));
  return frame;
}

void ExpectModuleInLoadState() {
  EXPECT_EQ(script_context, nullptr);
  EXPECT_EQ(variable_table.Length(), 0);
  EXPECT_EQ(variable_count, 0);
  EXPECT_EQ(builtin_count, 0);
  EXPECT_EQ(procedure_count, 0);
  EXPECT_EQ(error_flag, 0);
  EXPECT_EQ(last_error_text, "");
  EXPECT_EQ(init_marker, 0);
}

}  // namespace script_test
