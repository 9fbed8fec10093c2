// The wizard's shell services over the Windows API: special folders, the
// Shell Folders registry key, shortcuts through the shell-link object, the
// folder listing by the system's file search, the folder dialog and the web
// link, the Add/Remove Programs entry. The portable parts (group folder, ReplaceAll, listing filter and
// order, INI reader, temporary folder) live in ShellHelpers and IniFile.
#include "wizard/ShellServicesWin32.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shellapi.h>

#include <cstdio>

#include "platform/platform.h"
#include "wizard/IniFile.h"
#include "wizard/OwnStamp.h"
#include "wizard/ShellHelpers.h"
#include "wizard/Win32Elevation.h"
#include "wizard/Win32Text.h"

namespace setup {
namespace {

constexpr int kSpecialFolders[kSpecialFolderCount] = {
    CSIDL_PERSONAL,           CSIDL_APPDATA,      CSIDL_LOCAL_APPDATA,
    CSIDL_INTERNET_CACHE,     CSIDL_COOKIES,      CSIDL_HISTORY,
    CSIDL_COMMON_APPDATA,     CSIDL_WINDOWS,      CSIDL_SYSTEM,
    CSIDL_PROGRAM_FILES,      CSIDL_MYPICTURES,   CSIDL_PROGRAM_FILES_COMMON,
    CSIDL_COMMON_DOCUMENTS,   CSIDL_COMMON_ADMINTOOLS, CSIDL_ADMINTOOLS,
};

constexpr char kShellFoldersKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Buffers for paths: the system's longest path plus its NUL.
constexpr DWORD kPathBuffer = MAX_PATH + 1;

// A COM failure as an exception: the system's text for the code, or
// "OLE error XXXXXXXX" when it has none.
[[noreturn]] void ThrowOleError(HRESULT hr) {
  std::string text = zf::os::ErrorText(static_cast<int>(hr));
  if (text.empty()) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "OLE error %.8lX", static_cast<unsigned long>(hr));
    text = buffer;
  }
  throw zf::Exception(text);
}

// Releases a COM interface at the end of a scope.
template <class T>
struct ComRef {
  T* p = nullptr;
  ~ComRef() {
    if (p) p->Release();
  }
};

}  // namespace

std::string ShellServicesWin32::GetSpecialFolder(int index) {
  std::string result;
  if (index >= 0 && index < kSpecialFolderCount) {
    char path[kPathBuffer] = {};
    const HRESULT hr = SHGetFolderPathA(static_cast<HWND>(owner_), kSpecialFolders[index],
                                        nullptr, 0, path);
    if (SUCCEEDED(hr)) result = path;
  }
  return result + "\\";
}

std::string ShellServicesWin32::GetShellFolder(const std::string& valueName) {
  HKEY key = nullptr;
  std::string text;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_ALL_ACCESS, &key) ==
          ERROR_SUCCESS ||
      RegOpenKeyExA(HKEY_CURRENT_USER, kShellFoldersKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(key, valueName.c_str(), nullptr, &type, nullptr, &size) ==
        ERROR_SUCCESS) {
      if (type != REG_SZ && type != REG_EXPAND_SZ) {
        RegCloseKey(key);
        throw zf::Exception("Invalid data type for '" + valueName + "'");
      }
      std::string buffer(size + 1, '\0');
      DWORD got = size;
      if (RegQueryValueExA(key, valueName.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(buffer.data()), &got) == ERROR_SUCCESS)
        text = buffer.c_str();  // up to the first NUL
    }
    RegCloseKey(key);
  }
  return text + "\\";
}

bool ShellServicesWin32::CreateGroupFolder(const std::string& path) {
  return CreateFolderWithParents(path);
}

void ShellServicesWin32::CreateLink(const std::string& target, const std::string& arguments,
                                    const std::string& workingFolder,
                                    const std::string& linkFile,
                                    const std::string& iconLocation) {
  ComRef<IUnknown> object;
  const HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr,
                                      CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                      reinterpret_cast<void**>(&object.p));
  if (FAILED(hr)) ThrowOleError(hr);
  ComRef<IShellLinkA> link;
  ComRef<IPersistFile> file;
  if (FAILED(object.p->QueryInterface(IID_IShellLinkA, reinterpret_cast<void**>(&link.p))) ||
      FAILED(object.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p))))
    throw zf::Exception("Interface not supported");
  // Each setting's result is ignored: a shortcut that cannot be written is
  // simply missing.
  link.p->SetPath(target.c_str());
  link.p->SetIconLocation(iconLocation.c_str(), 0);
  link.p->SetArguments(arguments.c_str());
  link.p->SetWorkingDirectory(workingFolder.c_str());
  file.p->Save(win32::Widen(linkFile, CP_ACP).c_str(), FALSE);
}

std::vector<std::string> ShellServicesWin32::ListFiles(const std::string& folder,
                                                       const std::string& masks) {
  if (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
    throw EInOutError(static_cast<int>(GetLastError()));
  std::vector<std::string> names;
  for (const std::string& mask : SplitMasks(masks)) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + mask).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) continue;
    do {
      if (IsListedFile(found.dwFileAttributes)) names.emplace_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  SortNamesIgnoringCase(names);
  return names;
}

std::optional<std::string> ShellServicesWin32::BrowseForFolder(const std::string& titleText) {
  // The wide dialog, so that its title reads correctly under any ANSI code
  // page; the path comes back in the ANSI code page.
  wchar_t displayName[kPathBuffer] = {};
  const std::wstring title = win32::Widen(titleText);
  BROWSEINFOW info = {};
  info.hwndOwner = static_cast<HWND>(owner_);
  info.pidlRoot = nullptr;
  info.pszDisplayName = displayName;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  LPITEMIDLIST items = SHBrowseForFolderW(&info);
  if (items == nullptr) return std::nullopt;
  char path[kPathBuffer] = {};
  SHGetPathFromIDListA(items, path);
  CoTaskMemFree(items);
  return std::string(path);
}

void ShellServicesWin32::OpenWebLink(const std::string& address) {
  const std::wstring url = win32::Widen("http://" + address);
  ShellExecuteW(static_cast<HWND>(owner_), L"open", url.c_str(), nullptr, nullptr,
                SW_SHOWNORMAL);
}

std::string ShellServicesWin32::ReadIniString(const std::string& file, const std::string& section,
                                              const std::string& key,
                                              const std::string& defaultValue) {
  return ReadIniValue(file, section, key, defaultValue);
}

uint16_t ShellServicesWin32::UserUILanguage() { return GetUserDefaultUILanguage(); }

void ShellServicesWin32::Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }

bool ShellServicesWin32::RemoveFile(const std::string& path) { return zf::os::RemoveFile(path); }

std::string ShellServicesWin32::ExecutablePath() {
  std::string path(kPathBuffer, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::string ShellServicesWin32::CreatePrivateTempFolder() { return MakePrivateTempFolder(); }

void ShellServicesWin32::RemovePrivateTempFolder(const std::string& folder) {
  RemoveFolderTree(folder);
}

// ---- Add/Remove Programs ------------------------------------------------------

namespace {

HKEY RootKey(const std::string& root) {
  return root == "HKLM" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

bool SetString(HKEY key, const wchar_t* name, const std::string& utf8) {
  const std::wstring value = win32::Widen(utf8);
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool SetNumber(HKEY key, const wchar_t* name, DWORD value) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof value) == ERROR_SUCCESS;
}

bool WriteValues(HKEY key, const TUninstallEntry& e) {
  bool ok = SetString(key, L"DisplayName", e.displayName) &&
            SetString(key, L"Publisher", e.publisher) &&
            SetString(key, L"URLInfoAbout", e.urlInfoAbout) &&
            SetString(key, L"InstallLocation", e.installLocation) &&
            SetString(key, L"UninstallString", e.uninstallString) &&
            SetString(key, L"QuietUninstallString", e.quietUninstallString) &&
            SetNumber(key, L"EstimatedSize", e.estimatedSizeKiB) &&
            SetNumber(key, L"NoModify", 1) && SetNumber(key, L"NoRepair", 1);
  // A value this install has none of goes: an earlier install's program,
  // or its version, is gone.
  for (const auto& [name, value] : {std::pair{L"DisplayIcon", &e.displayIcon},
                                    std::pair{L"DisplayVersion", &e.displayVersion}}) {
    if (!value->empty())
      ok = ok && SetString(key, name, *value);
    else
      RegDeleteValueW(key, name);
  }
  return ok;
}

// A string value as UTF-8 ("" when missing or of another type).
std::string GetString(HKEY key, const wchar_t* name) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::string();
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  DWORD got = size;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &got) !=
      ERROR_SUCCESS)
    return std::string();
  value.resize(wcsnlen(value.c_str(), value.size()));
  return win32::Narrow(value);
}

DWORD GetNumber(HKEY key, const wchar_t* name) {
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD)
    return 0;
  return value;
}

}  // namespace

TRegistryPlace ShellServicesWin32::WriteUninstallEntry(const TUninstallEntry& entry) {
  const std::wstring subKey = win32::Widen(entry.key, CP_ACP);
  LONG rc = ERROR_ACCESS_DENIED;
  // A per-user install: the user's own list. Otherwise the machine's when
  // the program may write it (it runs elevated), else the user's.
  for (const char* root : {"HKLM", "HKCU"}) {
    if (entry.currentUser && root == std::string_view("HKLM")) continue;
    HKEY key = nullptr;
    DWORD disposition = 0;
    rc = RegCreateKeyExW(RootKey(root), subKey.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE,
                         nullptr, &key, &disposition);
    if (rc == ERROR_ACCESS_DENIED) continue;
    if (rc != ERROR_SUCCESS) break;
    const bool created = disposition == REG_CREATED_NEW_KEY;
    const bool ok = WriteValues(key, entry);
    RegCloseKey(key);
    if (ok) return {root, created};
    if (created) RegDeleteKeyW(RootKey(root), subKey.c_str());
    rc = ERROR_WRITE_FAULT;
    break;
  }
  throw zf::Exception("Cannot write the uninstall entry " + entry.key + ": " +
                      zf::os::ErrorText(static_cast<int>(rc)));
}

std::optional<TInstalledEntry> ShellServicesWin32::ReadUninstallEntry(const std::string& key) {
  const std::wstring subKey = win32::Widen(key, CP_ACP);
  for (const char* root : {"HKLM", "HKCU"}) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(RootKey(root), subKey.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
      continue;
    TInstalledEntry found{root, {}};
    TUninstallEntry& e = found.entry;
    e.key = key;
    e.displayName = GetString(handle, L"DisplayName");
    e.publisher = GetString(handle, L"Publisher");
    e.displayVersion = GetString(handle, L"DisplayVersion");
    e.urlInfoAbout = GetString(handle, L"URLInfoAbout");
    e.displayIcon = GetString(handle, L"DisplayIcon");
    e.installLocation = GetString(handle, L"InstallLocation");
    e.uninstallString = GetString(handle, L"UninstallString");
    e.quietUninstallString = GetString(handle, L"QuietUninstallString");
    e.estimatedSizeKiB = GetNumber(handle, L"EstimatedSize");
    RegCloseKey(handle);
    return found;
  }
  return std::nullopt;
}

TPackageStamp ShellServicesWin32::PackageStamp() { return OwnPackageStamp(); }
bool ShellServicesWin32::IsElevated() { return win32::RunsElevated(); }

std::optional<int> ShellServicesWin32::RunElevated(const std::vector<std::string>& args) {
  return win32::RunSelfElevated(args, static_cast<HWND>(owner_));
}

bool ShellServicesWin32::StartProgram(const std::string& path, const std::string& folder) {
  return win32::StartAsDesktopUser(path, folder);
}

bool ShellServicesWin32::RemoveUninstallEntry(const std::string& root, const std::string& key) {
  const LONG rc = RegDeleteKeyW(RootKey(root), win32::Widen(key, CP_ACP).c_str());
  return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

}  // namespace setup
