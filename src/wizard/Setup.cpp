// setup.exe's entry: COM in the single-threaded apartment, the common
// controls, the command line, and one of four runs:
// - the wizard: the window and its controller, the start-up handler with
//   the error-box rule, and the message loop until the window is gone;
// - /SILENT: the same window, showing only the progress of an install
//   that starts at once; /VERYSILENT: the same install without any window;
// - the uninstaller, when the program is uninstall.exe (Uninstaller.h);
// - the uninstaller's clean-up copy (Win32CleanUp.h).
// The program's exit code says how the run ended (SetupOptions.h). Nothing
// is read from the environment: what to do comes from the command line.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <exception>
#include <string>
#include <vector>

#include "archive/ZFStrFunc.h"
#include "platform/platform.h"
#include "wizard/ErrorBox.h"
#include "wizard/HiddenView.h"
#include "wizard/Languages.h"
#include "wizard/SetupOptions.h"
#include "wizard/ShellServicesWin32.h"
#include "wizard/Uninstaller.h"
#include "wizard/Unit1.h"
#include "wizard/Win32CleanUp.h"
#include "wizard/Win32Elevation.h"
#include "wizard/Win32Text.h"
#include "wizard/Win32Window.h"
#include "wizard/WizardTexts.h"

namespace {

using setup::win32::Narrow;
using setup::win32::Widen;

void Box(const std::string& text, std::string_view title, UINT flags) {
  MessageBoxW(nullptr, Widen(text).c_str(), Widen(title).c_str(), flags);
}

bool AskBox(std::string_view title, const std::string& text) {
  return MessageBoxW(nullptr, Widen(text).c_str(), Widen(title).c_str(),
                     MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// The arguments after the program's name, split by the system's rules, as
// UTF-8.
std::vector<std::string> Arguments() {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; argv && i < count; ++i) args.push_back(Narrow(argv[i]));
  if (argv) LocalFree(argv);
  return args;
}

// /DIR= as a full path: the install folder is registered and journalled,
// and a relative one would mean nothing there.
std::string FullPathOf(const std::string& utf8) {
  const std::wstring path = Widen(utf8);
  const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return utf8;
  std::wstring full(n, L'\0');
  const DWORD got = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
  if (got == 0 || got >= n) return utf8;
  full.resize(got);
  return Narrow(full);
}

// The build for the tests (ZF_SETUP_TEST_SWITCHES, never shipped) takes
// /ZF-TEST-FREE-SPACE=BYTES: every drive then reports that much free
// space, so the disk-space lines and the refusal can be tested under Wine;
// and /ZF-TEST-NOT-ELEVATED: the program takes itself for one without
// administrator rights (under Wine every program has them), so it hands a
// per-machine install over to an elevated copy of itself.
void TakeTestSwitches(std::vector<std::string>& args) {
#ifdef ZF_SETUP_TEST_SWITCHES
  constexpr std::string_view kFreeSpace = "/ZF-TEST-FREE-SPACE=";
  std::erase_if(args, [&](const std::string& arg) {
    if (arg == "/ZF-TEST-NOT-ELEVATED") {
      setup::win32::PretendNotElevatedForTests();
      return true;
    }
    if (!arg.starts_with(kFreeSpace)) return false;
    const int64_t bytes = std::stoll(arg.substr(kFreeSpace.size()));
    zf::os::SetDiskFreeHookForTests([bytes](const std::string&) { return bytes; });
    return true;
  });
#else
  (void)args;
#endif
}

class UninstallerBoxes : public setup::IUninstallerBoxes {
 public:
  bool AskYesNo(const std::string& title, const std::string& text) override {
    return AskBox(title, text);
  }
  void ShowMessage(const std::string& title, const std::string& text) override {
    Box(text, title, MB_OK | MB_ICONINFORMATION);
  }
  void ShowError(const std::string& title, const std::string& text) override {
    Box(text, title, MB_OK | MB_ICONERROR);
  }
};

int RunUninstaller(const setup::TSetupOptions& options) {
  setup::ShellServicesWin32 shell;
  UninstallerBoxes boxes;
  setup::TUninstaller uninstaller(shell, boxes, options);
  const int exitCode = uninstaller.Run();
  if (!uninstaller.CleanUpFile().empty())
    setup::win32::StartCleanUpCopy(uninstaller.CleanUpFile(), uninstaller.CleanUpFoldersTo());
  return exitCode;
}

// /VERYSILENT: the controller without a window.
int RunHidden(const setup::TSetupOptions& options) {
  setup::THiddenView view(
      [](const std::string& title, const std::string& text) {
        Box(text, title, MB_OK | MB_ICONERROR);
      },
      AskBox);
  setup::ShellServicesWin32 shell;
  setup::TaForm form(view, shell, options);
  form.RunHandler([&form] { form.FormCreate(); });
  if (!form.StartFailed()) form.InstallUnattended();
  return form.ExitCode();
}

int RunWizard(HINSTANCE instance, int showCommand, const setup::TSetupOptions& options) {
  setup::Win32Window window(instance);
  try {
    window.Create();
  } catch (const std::exception& error) {
    // What no handler can report: the window itself could not be made (the
    // box then has no owner).
    window.ShowErrorBox(setup::ErrorBoxText(error, setup::TextsFor(setup::Language::English)));
    return setup::kExitCannotStart;
  }
  setup::ShellServicesWin32 shell;
  shell.SetOwnerWindow(window.Handle());
  setup::TaForm form(window, shell, options);
  window.AttachController(&form);

  // A failed start-up is shown in its box; without its package the wizard
  // has nothing to show. Otherwise the form is shown even when a later
  // step (the picture) failed, with the steps after it skipped.
  form.RunHandler([&form] { form.FormCreate(); });
  if (form.StartFailed() || !window.Handle()) return form.ExitCode();
  window.Show(showCommand);
  if (options.silent) {
    form.RunHandler([&form] { form.InstallUnattended(); });
    return form.ExitCode();
  }
  window.RunMessageLoop();
  return form.ExitCode();
}

int Run(HINSTANCE instance, int showCommand) {
  setup::ShellServicesWin32 self;
  const bool uninstaller = setup::IsUninstallerPath(self.ExecutablePath());
  const auto set = uninstaller ? setup::SwitchSet::Uninstaller : setup::SwitchSet::Setup;

  setup::TSetupOptions options;
  std::string bad;
  std::vector<std::string> args = Arguments();
  TakeTestSwitches(args);
  const bool parsed = setup::ParseSwitches(args, set, options, bad);
  // Before any package or journal is read: the user's language, or the
  // one /LANG= asks for.
  const setup::TWizardTexts& texts = setup::TextsFor(setup::ChooseLanguage(
      self.UserUILanguage(), setup::TLanguageSet::All(), options.language));
  const std::string_view title = uninstaller ? texts.uninstallTitle : texts.appTitle;
  if (!parsed) {
    if (!options.SuppressBoxes())
      Box(std::string(texts.badSwitch) + ": \"" + bad + "\".\n\n" + setup::UsageText(set, texts),
          title, MB_OK | MB_ICONERROR);
    return setup::kExitCannotStart;
  }
  if (options.help) {
    Box(setup::UsageText(set, texts), title, MB_OK | MB_ICONINFORMATION);
    return setup::kExitDone;
  }
  if (options.dir) options.dir = FullPathOf(*options.dir);
  // In a silent run with suppressed boxes nobody is there to answer the
  // engine's own dialogs either.
  if (options.SuppressBoxes()) zf::os::SetUnattendedDialogs(true);

  if (uninstaller && options.cleanUpAfter != 0) {
    setup::win32::RunCleanUpCopy(options.cleanUpAfter, zf::os::Utf8ToAnsi(options.cleanUpFile),
                                 zf::os::Utf8ToAnsi(options.cleanUpFoldersTo));
    return setup::kExitDone;
  }
  if (uninstaller) return RunUninstaller(options);
  if (options.verySilent) return RunHidden(options);
  return RunWizard(instance, showCommand, options);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  // The shell-link objects and the folder dialog want an apartment thread.
  const HRESULT com = CoInitialize(nullptr);

  INITCOMMONCONTROLSEX controls = {sizeof controls,
                                   ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);

  const int exitCode = Run(instance, showCommand);

  if (SUCCEEDED(com)) CoUninitialize();
  return exitCode;
}
