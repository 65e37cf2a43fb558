// Reading what a window shows, pixel by pixel, for tests of how it is drawn.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace kvtest {

// A width x height 32-bit bitmap, compatible with `like`, after `draw` has
// drawn into it: its pixels, top row first.
std::vector<uint32_t> DrawnPixels(HDC like, int width, int height,
                                  const std::function<void(HDC)>& draw);

}  // namespace kvtest
