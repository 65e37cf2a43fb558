// The predefined constants of the script language. This file is compiled
// with the GBK execution character set, so the names below are GBK Texts.
#include "script/module_state.h"
#include "script/variables.h"

namespace script {
namespace {

enum class Kind { kBoolean, kInteger, kText };

struct PredefinedConstant {
  const char* name;
  int32_t type_code;
  Kind kind;
  int32_t number;    // kBoolean: 1 true, 0 false; kInteger: the value
  const char* text;  // kText: GBK text
};

constexpr int32_t B = kBooleanType;
constexpr int32_t I = kIntegerType;
constexpr int32_t T = kTextType;

// Registration order is the position order. Names are kept exactly as they
// are registered and found ("#mb_infomation"; "GBK中文" without "#").
constexpr PredefinedConstant kPredefinedConstants[] = {
    {"true", B, Kind::kBoolean, 1, ""},
    {"真", B, Kind::kBoolean, 1, ""},
    {"false", B, Kind::kBoolean, 0, ""},
    {"假", B, Kind::kBoolean, 0, ""},
    {"#crlf", T, Kind::kText, 0, "\r\n"},
    {"#换行符", T, Kind::kText, 0, "\r\n"},
    {"#tab", T, Kind::kText, 0, "\t"},
    {"#cr", T, Kind::kText, 0, "\r"},
    {"#回车", T, Kind::kText, 0, "\r"},
    {"#lf", T, Kind::kText, 0, "\n"},
    {"#换行", T, Kind::kText, 0, "\n"},
    {"#空格", T, Kind::kText, 0, " "},
    {"#space", T, Kind::kText, 0, " "},
    // Message box buttons and icons.
    {"#确认钮", I, Kind::kInteger, 0, ""},
    {"#mb_ok", I, Kind::kInteger, 0, ""},
    {"#取消钮", I, Kind::kInteger, 1, ""},
    {"#mb_cancel", I, Kind::kInteger, 1, ""},
    {"#是钮", I, Kind::kInteger, 5, ""},
    {"#mb_yes", I, Kind::kInteger, 5, ""},
    {"#否钮", I, Kind::kInteger, 6, ""},
    {"#mb_no", I, Kind::kInteger, 6, ""},
    {"#是否钮", I, Kind::kInteger, 4, ""},
    {"#mb_yesno", I, Kind::kInteger, 4, ""},
    {"#信息图标", I, Kind::kInteger, 64, ""},
    {"#mb_infomation", I, Kind::kInteger, 64, ""},
    {"#错误图标", I, Kind::kInteger, 16, ""},
    {"#mb_critical", I, Kind::kInteger, 16, ""},
    {"#询问图标", I, Kind::kInteger, 32, ""},
    {"#mb_question", I, Kind::kInteger, 32, ""},
    // Input kinds.
    {"#输入文本", I, Kind::kInteger, 1, ""},
    {"#in_text", I, Kind::kInteger, 1, ""},
    {"#输入整数", I, Kind::kInteger, 2, ""},
    {"#in_value", I, Kind::kInteger, 2, ""},
    {"#输入小数", I, Kind::kInteger, 3, ""},
    {"#in_float", I, Kind::kInteger, 3, ""},
    {"#输入密码", I, Kind::kInteger, 4, ""},
    {"#in_password", I, Kind::kInteger, 4, ""},
    // Date and time units.
    {"#年份", I, Kind::kInteger, 1, ""},
    {"#季度", I, Kind::kInteger, 2, ""},
    {"#月份", I, Kind::kInteger, 3, ""},
    {"#周", I, Kind::kInteger, 4, ""},
    {"#日", I, Kind::kInteger, 5, ""},
    {"#小时", I, Kind::kInteger, 6, ""},
    {"#分钟", I, Kind::kInteger, 7, ""},
    {"#秒", I, Kind::kInteger, 8, ""},
    // Parts of a date-time.
    {"#全部转换", I, Kind::kInteger, 1, ""},
    {"#日期部分", I, Kind::kInteger, 2, ""},
    {"#时间部分", I, Kind::kInteger, 3, ""},
    // File modes.
    {"#读入", I, Kind::kInteger, 1, ""},
    {"#写出", I, Kind::kInteger, 2, ""},
    {"#读写", I, Kind::kInteger, 3, ""},
    {"#重写", I, Kind::kInteger, 4, ""},
    {"#改写", I, Kind::kInteger, 5, ""},
    {"#改读", I, Kind::kInteger, 6, ""},
    // File sharing.
    {"#无限制", I, Kind::kInteger, 1, ""},
    {"#禁止读", I, Kind::kInteger, 2, ""},
    {"#禁止写", I, Kind::kInteger, 3, ""},
    {"#禁止读写", I, Kind::kInteger, 4, ""},
    // File positions.
    {"#文件首", I, Kind::kInteger, 1, ""},
    {"#文件尾", I, Kind::kInteger, 2, ""},
    {"#现行位置", I, Kind::kInteger, 3, ""},
    // Configuration roots.
    {"#根类", I, Kind::kInteger, 1, ""},
    {"#现行设置", I, Kind::kInteger, 2, ""},
    {"#现行用户", I, Kind::kInteger, 3, ""},
    {"#本地机器", I, Kind::kInteger, 4, ""},
    {"#所有用户", I, Kind::kInteger, 5, ""},
    // Text encodings.
    {"GBK中文", I, Kind::kInteger, 1, ""},
    {"#英文", I, Kind::kInteger, 2, ""},
    {"#BIG5中文", I, Kind::kInteger, 3, ""},
};

bool SameValue(const PredefinedConstant& a, const PredefinedConstant& b) {
  return a.kind == b.kind && a.number == b.number && Text(a.text) == Text(b.text);
}

void SetValue(VARIANT& value, const PredefinedConstant& row) {
  switch (row.kind) {
    case Kind::kBoolean:
      SetBoolean(value, row.number != 0);
      break;
    case Kind::kInteger:
      SetInteger(value, row.number);
      break;
    case Kind::kText:
      SetText(value, row.text);
      break;
  }
}

}  // namespace

void RegisterPredefinedConstants() {
  const VariantPtr working = NewVariant();
  SetInteger(*working, 0);
  const PredefinedConstant* previous = nullptr;
  for (const PredefinedConstant& row : kPredefinedConstants) {
    if (previous == nullptr || !SameValue(row, *previous)) SetValue(*working, row);
    previous = &row;
    DefineVariable(row.name, row.type_code, 1, Text());
    // The record just made, at the end. Forced, and for every row, even where
    // the value is the type's default.
    AssignVariable(variable_count, *working, 1);
  }
  builtin_count = variable_count;
}

}  // namespace script
