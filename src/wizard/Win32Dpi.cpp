// The window's DPI, through the calls of Windows 10 where they exist.
#include "wizard/Win32Dpi.h"

namespace setup::win32 {
namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

template <typename Fn>
Fn User32(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
                : nullptr;
}

UINT SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}

}  // namespace

UINT WindowDpi(HWND window) {
  static const auto getDpiForWindow = User32<GetDpiForWindowFn>("GetDpiForWindow");
  if (window && getDpiForWindow) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi > 0) return dpi;
  }
  return SystemDpi();
}

RECT FrameAround(int clientWidth, int clientHeight, DWORD style, UINT dpi) {
  static const auto adjustForDpi = User32<AdjustForDpiFn>("AdjustWindowRectExForDpi");
  RECT frame = {0, 0, clientWidth, clientHeight};
  if (!adjustForDpi || !adjustForDpi(&frame, style, FALSE, 0, dpi))
    AdjustWindowRectEx(&frame, style, FALSE, 0);
  return frame;
}

}  // namespace setup::win32
