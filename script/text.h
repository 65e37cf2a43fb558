// Script texts: GBK (Windows code page 936) bytes. An absent text and the
// empty text are the same value.
#pragma once

#include <string>

namespace script {

using Text = std::string;

// ASCII capitals A-Z become small letters. A byte of 0x80 or above starts a
// double-byte character: it and the byte after it are copied unchanged, so a
// trail byte that happens to be an ASCII capital is not folded. Script names
// match when their lowered forms are equal byte for byte.
Text ToLowerText(const Text& text);

// GBK to UTF-16, as Windows converts code page 936 whatever the system
// locale. A lead byte without a valid trail byte gives U+003F.
std::u16string GbkToUtf16(const Text& text);

}  // namespace script

// The application uses these names without the namespace.
using script::GbkToUtf16;
using script::Text;
using script::ToLowerText;
