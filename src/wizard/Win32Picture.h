// The picture box Image1 of the header band: a bitmap shown centred in its
// 64 x 64 box (at 96 dots per inch), clipped to it. It starts with the
// design picture (the bitmap resource IDB_PICTURE) and takes the package's
// picture when the controller loads one. At a higher DPI the box grows and
// the picture with it, scaled smoothly (ImageScale.h) from its own pixels,
// so it is neither a stamp in a big box nor a blocky enlargement. Windows
// only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace setup::win32 {

class Picture {
 public:
  Picture() = default;
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  ~Picture();

  // The design picture from the program's resources.
  void LoadDesignPicture(HINSTANCE instance);
  // A bitmap file (path in UTF-8). Throws zf::Exception("Bitmap image is
  // not valid") when the file is no bitmap; the picture shown stays.
  void LoadFromFile(const std::string& path);
  // The window's DPI: the picture is shown dpi/96 times its size.
  void SetDpi(UINT dpi);

  // Draws the picture centred in `box`, nothing outside it.
  void Paint(HDC dc, const RECT& box) const;

 private:
  // Takes the pixels of a loaded bitmap (which it deletes); false when
  // they cannot be read.
  bool Take(HBITMAP bitmap);
  void MakeShown();

  std::vector<uint32_t> pixels_;  // 32-bit, rows top to bottom
  int width_ = 0, height_ = 0;
  UINT dpi_ = 96;
  HBITMAP shown_ = nullptr;  // the picture at dpi_
  int shownWidth_ = 0, shownHeight_ = 0;
};

}  // namespace setup::win32
