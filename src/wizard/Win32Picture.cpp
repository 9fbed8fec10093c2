// The picture box Image1: loading a bitmap, scaling it to the window's DPI
// and drawing it centred.
#include "wizard/Win32Picture.h"

#include <cstring>

#include "archive/ZFClasses.h"
#include "wizard/ImageScale.h"
#include "wizard/Win32Dpi.h"
#include "wizard/Win32Text.h"
#include "wizard/Win32Resources.h"

namespace setup::win32 {
namespace {

// A top-down 32-bit DIB header of this size.
BITMAPINFO Header32(int width, int height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

}  // namespace

Picture::~Picture() {
  if (shown_) DeleteObject(shown_);
}

bool Picture::Take(HBITMAP bitmap) {
  BITMAP size = {};
  bool ok = bitmap && GetObjectW(bitmap, sizeof size, &size) && size.bmWidth > 0 &&
            size.bmHeight > 0;
  std::vector<uint32_t> pixels;
  if (ok) {
    // Any depth the system loads (1 to 32 bits, palettes, RLE) comes out as
    // 32-bit pixels.
    pixels.resize(static_cast<size_t>(size.bmWidth) * static_cast<size_t>(size.bmHeight));
    BITMAPINFO info = Header32(size.bmWidth, size.bmHeight);
    HDC dc = GetDC(nullptr);
    ok = GetDIBits(dc, bitmap, 0, static_cast<UINT>(size.bmHeight), pixels.data(), &info,
                   DIB_RGB_COLORS) == size.bmHeight;
    ReleaseDC(nullptr, dc);
  }
  if (bitmap) DeleteObject(bitmap);
  if (!ok) return false;
  pixels_ = std::move(pixels);
  width_ = size.bmWidth;
  height_ = size.bmHeight;
  MakeShown();
  return true;
}

void Picture::LoadDesignPicture(HINSTANCE instance) {
  Take(static_cast<HBITMAP>(
      LoadImageW(instance, MAKEINTRESOURCEW(IDB_PICTURE), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

void Picture::LoadFromFile(const std::string& path) {
  // LoadImage reads every BMP variant the system knows (core and info
  // headers, 1 to 32 bits, RLE) and refuses anything else.
  HANDLE bitmap = LoadImageW(nullptr, Widen(path).c_str(), IMAGE_BITMAP, 0, 0,
                             LR_LOADFROMFILE | LR_CREATEDIBSECTION);
  if (!Take(static_cast<HBITMAP>(bitmap))) throw zf::Exception("Bitmap image is not valid");
}

void Picture::SetDpi(UINT dpi) {
  if (dpi == dpi_) return;
  dpi_ = dpi;
  MakeShown();
}

void Picture::MakeShown() {
  if (shown_) DeleteObject(shown_);
  shown_ = nullptr;
  if (pixels_.empty()) return;
  shownWidth_ = Scaled(width_, dpi_);
  shownHeight_ = Scaled(height_, dpi_);
  const std::vector<uint32_t> pixels =
      shownWidth_ == width_ && shownHeight_ == height_
          ? pixels_
          : ScaleBilinear(pixels_, width_, height_, shownWidth_, shownHeight_);
  if (pixels.empty()) return;
  BITMAPINFO info = Header32(shownWidth_, shownHeight_);
  void* bits = nullptr;
  shown_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (shown_ && bits) std::memcpy(bits, pixels.data(), pixels.size() * sizeof(uint32_t));
}

void Picture::Paint(HDC dc, const RECT& box) const {
  if (!shown_) return;
  const int boxWidth = box.right - box.left, boxHeight = box.bottom - box.top;
  // Centred; a picture larger than the box shows its middle.
  const int x = box.left + (boxWidth - shownWidth_) / 2;
  const int y = box.top + (boxHeight - shownHeight_) / 2;

  const int saved = SaveDC(dc);
  IntersectClipRect(dc, box.left, box.top, box.right, box.bottom);
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, shown_);
  BitBlt(dc, x, y, shownWidth_, shownHeight_, source, 0, 0, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
  RestoreDC(dc, saved);
}

}  // namespace setup::win32
