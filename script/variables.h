// The variable and constant registry over variable_table.
#pragma once

#include <cstdint>

#include "script/text.h"
#include "script/variant.h"

namespace script {

// Type codes with a default value of their own; any other code defaults like
// kIntegerType.
constexpr int32_t kIntegerType = 1;
constexpr int32_t kBooleanType = 2;
constexpr int32_t kTextType = 3;

// Position of the first record, in position order, whose name matches and
// whose scope matches the given one; an empty scope on either side matches
// any. 0 when none.
int32_t FindVariable(const Text& name, const Text& scope);

// Adds a record holding DefaultValue(type_code) and returns its position.
// When the name is already visible in `scope`, the context's redefine flag
// for `scope` decides: non-zero returns the existing position and changes
// nothing; zero reports "变量重定义" + name and returns 0.
int32_t DefineVariable(const Text& name, int32_t type_code, int32_t is_constant,
                       const Text& scope);

// Gives the record at `position` a copy of `value` (its kind unchanged).
// A constant refuses without `force` and reports "不能给常量赋值". A position
// outside the table is a fatal range error.
void AssignVariable(int32_t position, const VARIANT& value, int32_t force);

// 2: VT_BOOL false; 3 and -1: VT_BSTR empty; anything else: VT_I4 0.
VariantPtr DefaultValue(int32_t type_code);

// Releases every record, first to last, and the table; the counts go back
// to 0 with it.
void ReleaseVariableTable();

// Defines the predefined constants at positions 1 to 69 and sets
// builtin_count. Run by ScriptModuleInit on the empty table.
void RegisterPredefinedConstants();

}  // namespace script
