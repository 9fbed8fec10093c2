// The picture box Image1 of the header band: a bitmap shown centred in its
// 64 x 64 box, clipped to it. It starts with the design picture (the
// bitmap resource IDB_PICTURE) and takes the package's picture when the
// controller loads one. Windows only.
#pragma once

#include <windows.h>

#include <string>

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

  // Draws the picture centred in `box`, nothing outside it.
  void Paint(HDC dc, const RECT& box) const;

 private:
  void Replace(HBITMAP bitmap);
  HBITMAP bitmap_ = nullptr;
};

}  // namespace setup::win32
