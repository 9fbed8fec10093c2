// Elevation and starting programs as the desktop's user.
#include "wizard/Win32Elevation.h"

#include <exdisp.h>
#include <objbase.h>
#include <oleauto.h>
#include <servprov.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "wizard/Win32Text.h"

namespace setup::win32 {
namespace {

bool pretendNotElevated = false;

// Releases a COM interface at the end of a scope.
template <class T>
struct Ref {
  T* p = nullptr;
  ~Ref() {
    if (p) p->Release();
  }
  void** out() { return reinterpret_cast<void**>(&p); }
};

std::wstring OwnPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

// Waits for `process` while the messages of this thread's windows are
// still handled (they repaint; the disabled owner takes no input). A quit
// request that comes meanwhile is posted again for the main loop.
void WaitPumping(HANDLE process) {
  bool quit = false;
  WPARAM quitCode = 0;
  while (MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quit = true;
        quitCode = message.wParam;
        continue;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
}

// The shell's ShellExecute of the desktop's Explorer, which runs as the
// user who logged on, without elevation: what it starts has the user's
// own rights, environment and profile, even when setup was elevated
// through "runas" (possibly by another account). The alternatives were
// worse: a restricted token made from our own is still the elevated
// account's, and a scheduled task needs the Task Scheduler. The desktop's
// shell window is found through ShellWindows, its view's automation
// object gives the Shell.Application object of that process.
bool StartThroughDesktopShell(const std::wstring& file, const std::wstring& folder) {
  Ref<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                              windows.out())))
    return false;
  VARIANT none;
  VariantInit(&none);
  long desktopWindow = 0;
  Ref<IDispatch> desktop;
  if (windows.p->FindWindowSW(&none, &none, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                              &desktop.p) != S_OK ||
      !desktop.p)
    return false;
  Ref<IServiceProvider> provider;
  Ref<IShellBrowser> browser;
  Ref<IShellView> view;
  Ref<IDispatch> background;
  Ref<IShellFolderViewDual> folderView;
  Ref<IDispatch> application;
  Ref<IShellDispatch2> shell;
  if (FAILED(desktop.p->QueryInterface(IID_IServiceProvider, provider.out())) ||
      FAILED(provider.p->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.out())) ||
      FAILED(browser.p->QueryActiveShellView(&view.p)) || !view.p ||
      FAILED(view.p->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.out())) ||
      FAILED(background.p->QueryInterface(IID_IShellFolderViewDual, folderView.out())) ||
      FAILED(folderView.p->get_Application(&application.p)) || !application.p ||
      FAILED(application.p->QueryInterface(IID_IShellDispatch2, shell.out())))
    return false;

  BSTR fileText = SysAllocString(file.c_str());
  VARIANT directory, operation, show;
  VariantInit(&directory);
  directory.vt = VT_BSTR;
  directory.bstrVal = SysAllocString(folder.c_str());
  VariantInit(&operation);
  operation.vt = VT_BSTR;
  operation.bstrVal = SysAllocString(L"open");
  VariantInit(&show);
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  const HRESULT hr = shell.p->ShellExecute(fileText, none, directory, operation, show);
  SysFreeString(fileText);
  VariantClear(&directory);
  VariantClear(&operation);
  return SUCCEEDED(hr);
}

}  // namespace

bool RunsElevated() {
  if (pretendNotElevated) return false;
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    const BOOL known =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    if (known) return elevation.TokenIsElevated != 0;
  }
  // Before Vista there is no elevation: an administrator has the rights.
  return IsUserAnAdmin() != FALSE;
}

std::optional<int> RunSelfElevated(const std::vector<std::string>& args, HWND owner) {
  std::wstring parameters;
  for (const std::string& arg : args) {
    if (!parameters.empty()) parameters += L' ';
    parameters += QuotedArgument(Widen(arg));
  }
  const std::wstring self = OwnPath();
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
  info.hwnd = owner;
  info.lpVerb = L"runas";
  info.lpFile = self.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info) || !info.hProcess) return std::nullopt;
  if (owner) EnableWindow(owner, FALSE);
  WaitPumping(info.hProcess);
  if (owner) {
    EnableWindow(owner, TRUE);
    SetForegroundWindow(owner);
  }
  DWORD code = 1;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  return static_cast<int>(code);
}

bool StartAsDesktopUser(const std::string& program, const std::string& folder) {
  const std::wstring file = Widen(program, CP_ACP), dir = Widen(folder, CP_ACP);
  // Elevated: through the desktop's shell. Where that cannot be had (no
  // Explorer as the shell, or its objects missing as under Wine), the
  // program starts from here, with setup's rights.
  if (RunsElevated() && StartThroughDesktopShell(file, dir)) return true;
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOASYNC;
  info.lpFile = file.c_str();
  info.lpDirectory = dir.c_str();
  info.nShow = SW_SHOWNORMAL;
  return ShellExecuteExW(&info) != FALSE;
}

std::wstring QuotedArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  // Before the closing quote, too.
  quoted.append(backslashes * 2, L'\\');
  return quoted + L'"';
}

void PretendNotElevatedForTests() { pretendNotElevated = true; }

}  // namespace setup::win32
