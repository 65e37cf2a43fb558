#include "script/variables.h"

#include <memory>

#include "script/error_report.h"
#include "script/module_state.h"

namespace script {
namespace {

bool NamesMatch(const Text& a, const Text& b) { return ToLowerText(a) == ToLowerText(b); }

// The state a record starts in before DefineVariable fills it.
VariableRecordPtr NewVariableRecord() {
  auto record = std::make_unique<VariableRecord>();
  record->value = NewVariant();
  SetInteger(*record->value, 0);
  return record;
}

// One more record, at position variable_count, in its starting state.
VariableRecord& AddVariableRecord() {
  variable_count += 1;
  variable_table.Resize(variable_count, &NewVariableRecord);
  return *variable_table.At(variable_count);
}

}  // namespace

// variable_count changes together with variable_table, here and in
// AddVariableRecord only; builtin_count marks a point in the table.
void ReleaseVariableTable() {
  variable_table.Clear();
  variable_count = 0;
  builtin_count = 0;
}

int32_t FindVariable(const Text& name, const Text& scope) {
  const int32_t count = variable_count;
  for (int32_t i = 1; i <= count; ++i) {
    const VariableRecord& record = *variable_table.At(i);
    if (!NamesMatch(record.name, name)) continue;
    if (scope.empty() || record.scope.empty()) return i;
    if (NamesMatch(record.scope, scope)) return i;
  }
  return 0;
}

int32_t DefineVariable(const Text& name, int32_t type_code, int32_t is_constant,
                       const Text& scope) {
  if (FindVariable(name, scope) > 0) {
    // The flag of the procedure named by the scope asked for, not by the
    // scope of the record that was found.
    const int32_t allowed =
        script_context != nullptr
            ? script_context->operations->GetRedefineFlag(*script_context, scope)
            : 0;
    if (allowed != 0) return FindVariable(name, scope);
    ReportError("变量重定义" + name);
    return 0;
  }
  VariableRecord& record = AddVariableRecord();
  record.name = name;
  record.type_code = type_code;
  record.is_constant = is_constant;
  record.scope = scope;
  const VariantPtr initial = DefaultValue(type_code);
  VariantClear(record.value.get());
  CopyVariantInto(*record.value, *initial);
  return variable_count;
}

void AssignVariable(int32_t position, const VARIANT& value, int32_t force) {
  VariableRecordPtr& record = variable_table.At(position);
  if (record->is_constant != 0 && force == 0) {
    ReportError("不能给常量赋值");
    return;
  }
  // Copied before the old value goes, so a record's own value may be passed.
  VariantPtr copy = CopyOfVariant(value);
  record->value = std::move(copy);
}

VariantPtr DefaultValue(int32_t type_code) {
  const VariantPtr working = NewVariant();
  SetInteger(*working, 0);
  switch (type_code) {
    case kBooleanType:
      SetBoolean(*working, false);
      break;
    case kTextType:
    case -1:
      SetText(*working, Text());
      break;
    default:
      break;
  }
  return CopyOfVariant(*working);
}

}  // namespace script
