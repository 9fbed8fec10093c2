// The picture box Image1: loading a bitmap and drawing it centred.
#include "wizard/Win32Picture.h"

#include "archive/ZFClasses.h"
#include "wizard/Win32Controls.h"
#include "wizard/Win32Resources.h"

namespace setup::win32 {

Picture::~Picture() { Replace(nullptr); }

void Picture::Replace(HBITMAP bitmap) {
  if (bitmap_) DeleteObject(bitmap_);
  bitmap_ = bitmap;
}

void Picture::LoadDesignPicture(HINSTANCE instance) {
  Replace(static_cast<HBITMAP>(
      LoadImageW(instance, MAKEINTRESOURCEW(IDB_PICTURE), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
}

void Picture::LoadFromFile(const std::string& path) {
  // LoadImage reads every BMP variant the system knows (core and info
  // headers, 1 to 32 bits, RLE) and refuses anything else.
  HANDLE bitmap = LoadImageW(nullptr, Widen(path).c_str(), IMAGE_BITMAP, 0, 0,
                             LR_LOADFROMFILE | LR_CREATEDIBSECTION);
  if (!bitmap) throw zf::Exception("Bitmap image is not valid");
  Replace(static_cast<HBITMAP>(bitmap));
}

void Picture::Paint(HDC dc, const RECT& box) const {
  if (!bitmap_) return;
  BITMAP info = {};
  if (!GetObjectW(bitmap_, sizeof info, &info)) return;
  const int boxWidth = box.right - box.left, boxHeight = box.bottom - box.top;
  // Centred; a picture larger than the box shows its middle.
  const int x = box.left + (boxWidth - info.bmWidth) / 2;
  const int y = box.top + (boxHeight - info.bmHeight) / 2;

  const int saved = SaveDC(dc);
  IntersectClipRect(dc, box.left, box.top, box.right, box.bottom);
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, bitmap_);
  BitBlt(dc, x, y, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
  RestoreDC(dc, saved);
}

}  // namespace setup::win32
