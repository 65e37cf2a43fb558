// The 69 predefined constants as the tests expect them, in registration
// order. Written apart from the module's own table, from the rules alone:
// names as their GBK bytes, values as the records must hold them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "script/variant.h"

namespace script_test {

struct ExpectedConstant {
  int32_t position;
  const char* gbk_name;
  int32_t type_code;
  VARTYPE vt;
  int32_t number;  // VT_I4 value, or VT_BOOL value (-1 true)
  const char16_t* text;  // VT_BSTR
};

constexpr size_t kExpectedConstantCount = 69;
extern const ExpectedConstant kExpectedConstants[kExpectedConstantCount];

}  // namespace script_test
