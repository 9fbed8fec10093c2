// Helpers shared by the Windows implementation files of the platform layer
// (not part of the platform interface). Include after <windows.h>.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace zf::os::win32 {

inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Length of the root part of a path, separator included when there is one:
//   "C:\dir" -> 3, "C:dir" -> 2, "\dir" -> 1,
//   "\\server\share\dir" -> 15 ("\\server\share\"), "dir" -> 0.
// Both "\" and "/" count as separators.
inline size_t RootLength(const std::string& path) {
  const size_t n = path.size();
  if (n >= 2 && path[1] == ':' &&
      ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
    return (n >= 3 && IsSeparator(path[2])) ? 3 : 2;
  if (n >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    // UNC: \\server\share\ (server and share are both part of the root).
    size_t i = 2;
    while (i < n && !IsSeparator(path[i])) ++i;  // server
    if (i >= n) return n;
    ++i;
    while (i < n && !IsSeparator(path[i])) ++i;  // share
    return i < n ? i + 1 : n;
  }
  if (n >= 1 && IsSeparator(path[0])) return 1;
  return 0;
}

// ANSI code page text to UTF-16 and back (for the W-functions of the
// dialogs).
inline std::wstring AnsiToWide(const std::string& s) {
  if (s.empty()) return std::wstring();
  const int len = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  if (len <= 0) return std::wstring();
  std::wstring w(static_cast<size_t>(len), L'\0');
  MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), w.data(), len);
  return w;
}

inline std::string WideToAnsi(const std::wstring& w) {
  if (w.empty()) return std::string();
  const int len = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
  if (len <= 0) return std::string();
  std::string s(static_cast<size_t>(len), '\0');
  WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), s.data(), len, nullptr,
                      nullptr);
  return s;
}

}  // namespace zf::os::win32
