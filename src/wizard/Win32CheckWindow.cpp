// The digest check's window: made after a second, updated, destroyed.
#include "wizard/Win32CheckWindow.h"

#include <commctrl.h>

#include "wizard/Win32Dpi.h"
#include "wizard/WizardTexts.h"

namespace setup::win32 {

namespace {

constexpr wchar_t kClass[] = L"SetupCheckWindow";
constexpr ULONGLONG kDelayMs = 1000;
constexpr int kWidth = 320, kHeight = 64;  // client area
constexpr int kMargin = 12;

}  // namespace

void CheckWindow::Progress(int percent, const TWizardTexts& texts) {
  if (!running_) {
    running_ = true;
    started_ = GetTickCount64();
  }
  if (!window_ && GetTickCount64() - started_ >= kDelayMs) Create(texts);
  if (!window_) return;
  SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    // A quit asked for meanwhile is the main loop's to see.
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void CheckWindow::End() {
  running_ = false;
  if (window_) DestroyWindow(window_);
  window_ = bar_ = nullptr;
  fonts_.Destroy();
}

void CheckWindow::Create(const TWizardTexts& texts) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = instance_;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_WAIT);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClass;
  RegisterClassExW(&windowClass);  // already there from an earlier check: fine

  // Laid out at the DPI of the main monitor, where it is centred.
  const UINT dpi = WindowDpi(nullptr);
  const auto px = [dpi](int value) { return Scaled(value, dpi); };
  const DWORD style = WS_POPUP | WS_CAPTION | WS_VISIBLE;
  const RECT frame = FrameAround(px(kWidth), px(kHeight), style, dpi);
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  window_ = CreateWindowExW(0, kClass, Widen(texts.appTitle).c_str(), style, x, y, w, h,
                            nullptr, nullptr, instance_, nullptr);
  if (!window_) return;  // no window, no harm: the check goes on
  fonts_.Create(dpi);
  HWND label = CreateWindowExW(0, L"STATIC", Widen(texts.checkingPackage).c_str(),
                               WS_CHILD | WS_VISIBLE, px(kMargin), px(kMargin),
                               px(kWidth - 2 * kMargin), px(16), window_, nullptr, instance_,
                               nullptr);
  SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.plain), TRUE);
  bar_ = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD | WS_VISIBLE | PBS_SMOOTH,
                         px(kMargin), px(kMargin + 22), px(kWidth - 2 * kMargin), px(17), window_,
                         nullptr, instance_, nullptr);
  SendMessageW(bar_, PBM_SETRANGE32, 0, 100);
  UpdateWindow(window_);
}

}  // namespace setup::win32
