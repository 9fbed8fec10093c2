// The window's dots per inch, and sizes in the form's 96-DPI pixels made
// right for it.
//
// The manifest declares the program per-monitor DPI aware (PerMonitorV2,
// "true/pm" before Windows 10), so the system neither stretches the
// window's pixels nor lies about the DPI: the window lays itself out from
// the form's 96-DPI coordinates at its monitor's DPI, fonts included, and
// again when it moves to a monitor of another DPI (WM_DPICHANGED). The
// calls of Windows 10 (GetDpiForWindow, AdjustWindowRectExForDpi) are
// looked up at run time; older systems have one DPI for every monitor,
// which the screen's device context tells. Windows only.
#pragma once

#include <windows.h>

namespace setup::win32 {

inline constexpr UINT kDesignDpi = 96;

// A length of the form (96 DPI) at `dpi`, rounded to the nearest pixel.
inline int Scaled(int value, UINT dpi) {
  return MulDiv(value, static_cast<int>(dpi), static_cast<int>(kDesignDpi));
}
inline RECT Scaled(const RECT& r, UINT dpi) {
  return {Scaled(r.left, dpi), Scaled(r.top, dpi), Scaled(r.right, dpi), Scaled(r.bottom, dpi)};
}

// The DPI of the window's monitor (none: the system's).
UINT WindowDpi(HWND window);

// The window rectangle, at the origin, around a client area of this size
// (already at `dpi`) for a window of this style at `dpi`.
RECT FrameAround(int clientWidth, int clientHeight, DWORD style, UINT dpi);

}  // namespace setup::win32
