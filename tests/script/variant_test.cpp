// The copy and clear rules the module relies on. Natively these run against
// the module's stand-in, under Wine against oleaut32, so both must agree.
#include <gtest/gtest.h>

#include "script/variant.h"

namespace {

using script::BstrText;

TEST(VariantRules, StringKeepsItsLengthIncludingZeroUnits) {
  const char16_t units[] = u"a\0b";
  BSTR text = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(units), 3);
  EXPECT_EQ(SysStringLen(text), 3u);
  EXPECT_EQ(BstrText(text), std::u16string(u"a\0b", 3));
  EXPECT_EQ(text[3], 0);
  SysFreeString(text);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);
}

TEST(VariantRules, CopyDuplicatesTheStringAndReleasesTheOldDestination) {
  VARIANT source;
  VariantInit(&source);
  script::SetText(source, "source");
  VARIANT destination;
  VariantInit(&destination);
  script::SetText(destination, "old");

  ASSERT_EQ(VariantCopy(&destination, &source), S_OK);
  EXPECT_EQ(destination.vt, VT_BSTR);
  EXPECT_NE(destination.bstrVal, source.bstrVal);
  EXPECT_EQ(VariantClear(&source), S_OK);
  EXPECT_EQ(source.vt, VT_EMPTY);
  EXPECT_EQ(BstrText(destination.bstrVal), u"source");
  VariantClear(&destination);
}

TEST(VariantRules, ScalarKindsCopyTheirPayload) {
  VARIANT source;
  VariantInit(&source);
  script::SetBoolean(source, true);
  VARIANT destination;
  VariantInit(&destination);
  ASSERT_EQ(VariantCopy(&destination, &source), S_OK);
  EXPECT_EQ(destination.vt, VT_BOOL);
  EXPECT_EQ(destination.boolVal, VARIANT_TRUE);
  script::SetInteger(source, -5);
  ASSERT_EQ(VariantCopy(&destination, &source), S_OK);
  EXPECT_EQ(destination.vt, VT_I4);
  EXPECT_EQ(destination.lVal, -5);
}

}  // namespace
