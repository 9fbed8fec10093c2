// A stand-in for an installed program that the wizard starts: it writes
// "launched.txt" beside itself, holding the folder it was started in and
// its arguments, and ends at once.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring marker = self;
  marker.resize(marker.rfind(L'\\') + 1);
  marker += L"launched.txt";
  wchar_t folder[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, folder);
  const std::wstring text = std::wstring(folder) + L"\r\n" + arguments + L"\r\n";
  char utf8[4 * MAX_PATH * 2] = {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
  HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, utf8, n > 0 ? static_cast<DWORD>(n - 1) : 0, &written, nullptr);
  CloseHandle(file);
  return 0;
}
