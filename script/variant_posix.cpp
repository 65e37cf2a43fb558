// Native stand-in for the OLE Automation value functions: the copy and clear
// rules of the real ones for the kinds the module holds.
#include <cstring>
#include <new>

#include "script/variant.h"

namespace {

constexpr size_t kPrefixBytes = sizeof(uint32_t);

char* BlockOf(BSTR text) { return reinterpret_cast<char*>(text) - kPrefixBytes; }

bool IsHeldKind(VARTYPE vt) {
  return vt == VT_EMPTY || vt == VT_I4 || vt == VT_BOOL || vt == VT_BSTR;
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, uint32_t length) {
  const uint32_t bytes = length * sizeof(OLECHAR);
  // operator new: running out of memory reaches the program's handler.
  char* block = static_cast<char*>(::operator new(kPrefixBytes + bytes + sizeof(OLECHAR)));
  std::memcpy(block, &bytes, kPrefixBytes);
  BSTR result = reinterpret_cast<BSTR>(block + kPrefixBytes);
  if (text != nullptr) {
    std::memcpy(result, text, bytes);
  } else {
    std::memset(result, 0, bytes);
  }
  result[length] = 0;
  return result;
}

void SysFreeString(BSTR text) {
  if (text != nullptr) ::operator delete(BlockOf(text));
}

uint32_t SysStringLen(BSTR text) {
  if (text == nullptr) return 0;
  uint32_t bytes = 0;
  std::memcpy(&bytes, BlockOf(text), kPrefixBytes);
  return bytes / sizeof(OLECHAR);
}

void VariantInit(VARIANTARG* value) {
  value->vt = VT_EMPTY;
  value->wReserved1 = value->wReserved2 = value->wReserved3 = 0;
  value->llVal = 0;
}

HRESULT VariantClear(VARIANTARG* value) {
  if (!IsHeldKind(value->vt)) return DISP_E_BADVARTYPE;
  if (value->vt == VT_BSTR) SysFreeString(value->bstrVal);
  VariantInit(value);
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* destination, VARIANTARG* source) {
  if (!IsHeldKind(source->vt)) return DISP_E_BADVARTYPE;
  if (destination == source) return S_OK;
  const HRESULT cleared = VariantClear(destination);
  if (cleared != S_OK) return cleared;
  *destination = *source;
  if (source->vt == VT_BSTR && source->bstrVal != nullptr) {
    destination->bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
  }
  return S_OK;
}
