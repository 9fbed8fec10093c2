// The small window of the package's digest check: "Проверка файла
// установки..." (or its English twin) over a progress bar, centred on the
// desktop, shown only once a check has taken a second (a quick one shows
// nothing, as NSIS's does). The check runs before the form is shown, on
// the GUI thread; each Progress call lets the window repaint. Windows only.
#pragma once

#include <windows.h>

#include "wizard/Win32Controls.h"

namespace setup::win32 {

class CheckWindow {
 public:
  explicit CheckWindow(HINSTANCE instance) : instance_(instance) {}
  ~CheckWindow() { End(); }
  CheckWindow(const CheckWindow&) = delete;
  CheckWindow& operator=(const CheckWindow&) = delete;

  // The check has done `percent`; the first call starts its clock. The
  // window, once made, speaks the language of `texts`.
  void Progress(int percent, const TWizardTexts& texts);
  // The check has ended: the window goes, and the next check starts anew.
  void End();

 private:
  void Create(const TWizardTexts& texts);

  HINSTANCE instance_;
  bool running_ = false;
  ULONGLONG started_ = 0;
  HWND window_ = nullptr;
  HWND bar_ = nullptr;
  FormFonts fonts_;
};

}  // namespace setup::win32
