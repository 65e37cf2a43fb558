#include "script/variant.h"

#include "base/process_end.h"

namespace script {

void VariantDeleter::operator()(VARIANT* value) const {
  VariantClear(value);
  delete value;
}

VariantPtr NewVariant() {
  VariantPtr value(new VARIANT);
  VariantInit(value.get());
  return value;
}

VariantPtr CopyOfVariant(const VARIANT& source) {
  VariantPtr value = NewVariant();
  CopyVariantInto(*value, source);
  return value;
}

void CopyVariantInto(VARIANT& destination, const VARIANT& source) {
  // The OLE signature takes a mutable source; the copy never writes to it.
  const HRESULT result = VariantCopy(&destination, const_cast<VARIANT*>(&source));
  if (result == E_OUTOFMEMORY) base::FatalError(u"内存不足");
  if (result != S_OK) base::FatalError(u"无法复制脚本值");
}

void SetInteger(VARIANT& value, int32_t number) {
  VariantClear(&value);
  value.vt = VT_I4;
  value.lVal = number;
}

void SetBoolean(VARIANT& value, bool truth) {
  VariantClear(&value);
  value.vt = VT_BOOL;
  value.boolVal = truth ? VARIANT_TRUE : VARIANT_FALSE;
}

void SetText(VARIANT& value, const Text& text) {
  const std::u16string wide = GbkToUtf16(text);
  BSTR string = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(wide.data()),
                                  static_cast<uint32_t>(wide.size()));
  if (string == nullptr) base::FatalError(u"内存不足");
  VariantClear(&value);
  value.vt = VT_BSTR;
  value.bstrVal = string;
}

std::u16string BstrText(BSTR text) {
  if (text == nullptr) return std::u16string();
  return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

}  // namespace script
