#include "tests/support/pixels.h"

namespace kvtest {

std::vector<uint32_t> DrawnPixels(HDC like, int width, int height,
                                  const std::function<void(HDC)>& draw) {
  HDC memory = CreateCompatibleDC(like);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::vector<uint32_t> pixels;
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    draw(memory);
    GdiFlush();
    const auto* first = static_cast<const uint32_t*>(bits);
    pixels.assign(first, first + width * height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  return pixels;
}

}  // namespace kvtest
