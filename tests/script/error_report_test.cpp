#include <vector>

#include "tests/script/script_test_support.h"

namespace script_test {
namespace {

struct ReportSequence {
  const char* what;
  std::vector<Text> messages;
  int32_t error_flag_after;
  Text last_error_text_after;
};

void PrintTo(const ReportSequence& c, std::ostream* out) { *out << c.what; }

class ReportErrorTest : public ModuleTest,
                        public ::testing::WithParamInterface<ReportSequence> {};

TEST_P(ReportErrorTest, ShowsEachMessageThenRecordsTheLatest) {
  const ReportSequence& sequence = GetParam();
  for (const Text& message : sequence.messages) ReportError(message);

  EXPECT_EQ(error_flag, sequence.error_flag_after);
  EXPECT_EQ(last_error_text, sequence.last_error_text_after);
  ASSERT_EQ(ShownBoxes().size(), sequence.messages.size());
  int32_t flag_before = 0;
  Text text_before;
  for (size_t i = 0; i < sequence.messages.size(); ++i) {
    const ShownBox& box = ShownBoxes()[i];
    EXPECT_EQ(box.text, GbkToUtf16(sequence.messages[i]));
    EXPECT_EQ(box.title, u"[Korvash]");
    EXPECT_EQ(box.style, 0x2010u);  // error icon, OK only, task-modal
    // The state changes only once the box is dismissed.
    EXPECT_EQ(box.error_flag_meanwhile, flag_before);
    EXPECT_EQ(box.last_error_text_meanwhile, text_before);
    flag_before = 1;
    text_before = sequence.messages[i];
  }
}

// "\xB2\xBB\xC4\xDC..." is 不能给常量赋值.
INSTANTIATE_TEST_SUITE_P(
    Sequences, ReportErrorTest,
    ::testing::Values(
        ReportSequence{"none", {}, 0, ""},
        ReportSequence{"one", {"\xB2\xBB\xC4\xDC\xB8\xF8\xB3\xA3\xC1\xBF\xB8\xB3\xD6\xB5"}, 1,
                       "\xB2\xBB\xC4\xDC\xB8\xF8\xB3\xA3\xC1\xBF\xB8\xB3\xD6\xB5"},
        ReportSequence{"two", {"first", "second"}, 1, "second"},
        ReportSequence{"absent message", {""}, 1, ""},
        ReportSequence{"absent after a message", {"first", ""}, 1, ""}),
    [](const ::testing::TestParamInfo<ReportSequence>& info) {
      std::string name;
      for (const char* c = info.param.what; *c != '\0'; ++c) name += *c == ' ' ? '_' : *c;
      return name;
    });

using ReportErrorTextTest = ModuleTest;

TEST_F(ReportErrorTextTest, ChineseMessageReachesTheBoxAsUtf16) {
  ReportError("\xB1\xE4\xC1\xBF\xD6\xD8\xB6\xA8\xD2\xE5" "Count");
  ASSERT_EQ(ShownBoxes().size(), 1u);
  EXPECT_EQ(ShownBoxes()[0].text, u"变量重定义Count");
}

}  // namespace
}  // namespace script_test
