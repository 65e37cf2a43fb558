// Where script values meet the platform. On Windows a value is a real OLE
// Automation VARIANT and the functions below are oleaut32's. Natively a small
// stand-in with the same field and function names takes their place, so the
// module's code reads the same on both.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "script/text.h"

#ifdef _WIN32

#include <windows.h>
#include <oleauto.h>

#else

using OLECHAR = char16_t;
using BSTR = OLECHAR*;
using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;
using HRESULT = int32_t;

enum : VARTYPE { VT_EMPTY = 0, VT_I4 = 3, VT_BSTR = 8, VT_BOOL = 11 };

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000EU);
constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008U);

// Same 16-byte shape as the OLE VARIANT: a type tag, three reserved words and
// the payload.
struct VARIANT {
  VARTYPE vt;
  uint16_t wReserved1;
  uint16_t wReserved2;
  uint16_t wReserved3;
  union {
    int32_t lVal;
    VARIANT_BOOL boolVal;
    BSTR bstrVal;
    int64_t llVal;
  };
};
using VARIANTARG = VARIANT;

// A BSTR points just past a 32-bit byte length and is followed by a zero
// code unit; a null BSTR is the empty string.
BSTR SysAllocStringLen(const OLECHAR* text, uint32_t length);
void SysFreeString(BSTR text);
uint32_t SysStringLen(BSTR text);

// Kinds held: VT_EMPTY, VT_I4, VT_BOOL and VT_BSTR; any other tag is refused
// with DISP_E_BADVARTYPE and leaves the values untouched.
void VariantInit(VARIANTARG* value);
// Releases what the value owns and leaves it VT_EMPTY.
HRESULT VariantClear(VARIANTARG* value);
// Clears the destination, then copies; a BSTR is duplicated.
HRESULT VariantCopy(VARIANTARG* destination, VARIANTARG* source);

#endif

#if defined(_WIN64)
// 24 bytes on 64-bit Windows: its record member holds two pointers.
static_assert(sizeof(VARIANT) == 24, "a script value is an OLE VARIANT in shape");
#else
static_assert(sizeof(VARIANT) == 16, "a script value is an OLE VARIANT in shape");
#endif

namespace script {

// A Variant allocated on its own, as records hold theirs. Releasing it clears
// it with VariantClear first.
struct VariantDeleter {
  void operator()(VARIANT* value) const;
};
using VariantPtr = std::unique_ptr<VARIANT, VariantDeleter>;

// A new VT_EMPTY Variant.
VariantPtr NewVariant();
// A new Variant holding a VariantCopy of `source`.
VariantPtr CopyOfVariant(const VARIANT& source);
// VariantCopy into `destination` (cleared by the copy). A copy that fails is
// fatal: it means memory ran out or the value is not one the module can hold.
void CopyVariantInto(VARIANT& destination, const VARIANT& source);

// Replaces `value` (cleared first) with one of the three kinds.
void SetInteger(VARIANT& value, int32_t number);
void SetBoolean(VARIANT& value, bool truth);
void SetText(VARIANT& value, const Text& text);  // GBK text, stored as UTF-16

// The UTF-16 content of a BSTR (empty for a null BSTR).
std::u16string BstrText(BSTR text);

}  // namespace script
