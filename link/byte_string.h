#pragma once

#include <cstdint>
#include <vector>

// A length and that many bytes, zero bytes allowed.
using ByteString = std::vector<uint8_t>;
