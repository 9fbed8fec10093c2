// setup.exe's entry: COM in the single-threaded apartment, the common
// controls, the window and its controller, the start-up handler with the
// error-box rule, and the message loop until the window is gone.
//
// The program takes no command line; what it installs is the package beside
// it (package/PackageFormat.h).
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <exception>

#include "wizard/ErrorBox.h"
#include "wizard/ShellServicesWin32.h"
#include "wizard/Unit1.h"
#include "wizard/Win32Window.h"

namespace {

int RunWizard(HINSTANCE instance, int showCommand) {
  setup::Win32Window window(instance);
  try {
    window.Create();
  } catch (const std::exception& error) {
    // What no handler can report: the window itself could not be made (the
    // box then has no owner).
    window.ShowErrorBox(setup::ErrorBoxText(error));
    return 1;
  }
  setup::ShellServicesWin32 shell;
  shell.SetOwnerWindow(window.Handle());
  setup::TaForm form(window, shell);
  window.AttachController(&form);

  // The form is shown whether start-up went well or not: a failure is
  // shown in its box and the steps after it are skipped.
  form.RunHandler([&form] { form.FormCreate(); });
  if (!window.Handle()) return 0;  // closed during start-up
  window.Show(showCommand);
  return window.RunMessageLoop();
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  // The shell-link objects and the folder dialog want an apartment thread.
  const HRESULT com = CoInitialize(nullptr);

  INITCOMMONCONTROLSEX controls = {sizeof controls,
                                   ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);

  const int exitCode = RunWizard(instance, showCommand);

  if (SUCCEEDED(com)) CoUninitialize();
  return exitCode;
}
