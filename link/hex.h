// Upper-case hexadecimal renderings of received bytes. Portable: also built
// natively for the sanitizer runs.
#pragma once

#include <cstdint>
#include <string>

#include "link/byte_string.h"

// Exactly two upper-case digits, high nibble first: 0x0A gives "0A".
std::string ByteToHex(int32_t byte);
// The pairs of all bytes in order, with no separator; empty for no bytes.
std::string BytesToHex(const ByteString& bytes);
