// The uninstaller's clean-up copy: started, and doing its work.
#include "wizard/Win32CleanUp.h"

#include <windows.h>

#include "archive/ZFStrFunc.h"
#include "platform/platform.h"
#include "wizard/SetupOptions.h"
#include "wizard/ShellServicesWin32.h"
#include "wizard/ShellHelpers.h"
#include "wizard/Uninstaller.h"
#include "wizard/Win32Text.h"

namespace setup::win32 {
namespace {

constexpr DWORD kWaitForUninstallerMs = 60000;

std::wstring Quoted(const std::wstring& argument) { return L"\"" + argument + L"\""; }

}  // namespace

bool StartCleanUpCopy(const std::string& file, const std::string& foldersTo) {
  std::string temp;
  try {
    temp = MakePrivateTempFolder();
  } catch (const std::exception&) {
    return false;
  }
  const std::string copy = temp + "uninstall.exe";
  if (!CopyFileReplacing(ShellServicesWin32().ExecutablePath(), copy)) {
    RemoveFolderTree(temp);
    return false;
  }
  const std::wstring wideCopy = Widen(copy, CP_ACP);
  std::wstring command = Quoted(wideCopy) + L" " + Widen(kCleanUpAfterSwitch) +
                         std::to_wstring(GetCurrentProcessId()) + L" " +
                         Quoted(Widen(kCleanUpFileSwitch) + Widen(file, CP_ACP));
  if (!foldersTo.empty())
    command += L" " + Quoted(Widen(kCleanUpFoldersSwitch) + Widen(foldersTo, CP_ACP));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  // Started in its own folder, so that no process has the install folder
  // as its current folder once the uninstaller has ended.
  const std::wstring wideTemp = Widen(temp, CP_ACP);
  if (!CreateProcessW(wideCopy.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      wideTemp.c_str(), &startup, &process)) {
    RemoveFolderTree(temp);
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

void RunCleanUpCopy(uint32_t processId, const std::string& file, const std::string& foldersTo) {
  if (HANDLE uninstaller = OpenProcess(SYNCHRONIZE, FALSE, processId)) {
    WaitForSingleObject(uninstaller, kWaitForUninstallerMs);
    CloseHandle(uninstaller);
  }
  CleanUpAfterUninstall(file, foldersTo);
  // This copy and its folder go at the next start of the system.
  const std::wstring self = Widen(ShellServicesWin32().ExecutablePath(), CP_ACP);
  MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  const size_t slash = self.find_last_of(L'\\');
  if (slash != std::wstring::npos)
    MoveFileExW(self.substr(0, slash).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace setup::win32
