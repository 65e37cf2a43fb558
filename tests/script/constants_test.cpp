#include "tests/script/expected_constants.h"
#include "tests/script/script_test_support.h"

namespace script_test {
namespace {

using PredefinedConstantsTest = StartedModuleTest;

TEST_F(PredefinedConstantsTest, RegistersTheSixtyNineConstantsInOrder) {
  ASSERT_EQ(variable_count, 69);
  ASSERT_EQ(variable_table.Length(), 69);
  EXPECT_EQ(builtin_count, 69);
  EXPECT_EQ(init_marker, -1);
  EXPECT_EQ(error_flag, 0);
  EXPECT_EQ(last_error_text, "");
  EXPECT_TRUE(ShownBoxes().empty());
  for (const ExpectedConstant& expected : kExpectedConstants) {
    SCOPED_TRACE(::testing::Message() << "position " << expected.position);
    const VariableRecord& record = Variable(expected.position);
    EXPECT_EQ(record.name, expected.gbk_name);
    EXPECT_EQ(record.type_code, expected.type_code);
    EXPECT_EQ(record.is_constant, 1);
    EXPECT_EQ(record.scope, "");
    EXPECT_TRUE(Holds(*record.value, expected.vt, expected.number, expected.text));
    // Names are distinct under name matching: each finds itself.
    EXPECT_EQ(FindVariable(expected.gbk_name, ""), expected.position);
  }
}

TEST_F(PredefinedConstantsTest, FindsByFoldedNameOnly) {
  EXPECT_EQ(FindVariable("TRUE", ""), 1);
  EXPECT_EQ(FindVariable("#MB_OK", ""), 15);
  EXPECT_EQ(FindVariable("#MB_INFOMATION", "any"), 25);
  EXPECT_EQ(FindVariable("#mb_information", ""), 0);
  EXPECT_EQ(FindVariable("#GBK\xD6\xD0\xCE\xC4", ""), 0);  // #GBK中文
  EXPECT_EQ(FindVariable("#big5\xD6\xD0\xCE\xC4", ""), 69);
}

TEST_F(PredefinedConstantsTest, EveryConstantRefusesAnUnforcedAssignment) {
  const VariantPtr other = Integer(12345);
  for (const ExpectedConstant& expected : kExpectedConstants) {
    AssignVariable(expected.position, *other, 0);
    EXPECT_TRUE(Holds(*Variable(expected.position).value, expected.vt, expected.number,
                      expected.text))
        << "position " << expected.position;
  }
  EXPECT_EQ(ShownBoxes().size(), 69u);
  EXPECT_EQ(ShownBoxes().back().text, u"不能给常量赋值");
  EXPECT_EQ(error_flag, 1);
}

}  // namespace
}  // namespace script_test
