// Windows: the user's locale, the ANSI and OEM code pages, one-character
// comparison and upper-casing, and conversions between code pages.
//
// The ANSI code page is the process's: UTF-8 where the programs' manifest
// is honoured (Windows 10 1903 and later), the system's otherwise. The OEM
// code page is always the system locale's, the one names without the UTF-8
// flag were written in.
#include <windows.h>

#include <climits>

// winuser.h maps these names onto OemToCharA and CharToOemA.
#ifdef OemToAnsi
#undef OemToAnsi
#endif
#ifdef AnsiToOem
#undef AnsiToOem
#endif

#include "platform/platform.h"

namespace zf::os {

namespace {

// Code pages whose conversions take no flags and no default character.
bool TakesNoFlags(unsigned cp) {
  return cp == CP_UTF8 || cp == CP_UTF7 || cp == 42 || (cp >= 50220 && cp <= 50229) ||
         (cp >= 57002 && cp <= 57011) || cp == 54936;
}

// The OEM code page of the system locale (866 on a Russian system). Under
// the UTF-8 manifest GetOEMCP() answers 65001 like GetACP(), yet names
// written without the UTF-8 flag are still in the system's OEM code page;
// the locale's own default says which. GetOEMCP() serves when the locale
// names none.
unsigned SystemOemCodePage() {
  wchar_t digits[8] = {};
  if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTCODEPAGE, digits, 8) <= 0)
    return GetOEMCP();
  unsigned cp = 0;
  for (const wchar_t* d = digits; *d >= L'0' && *d <= L'9' && cp < 100000; ++d)
    cp = cp * 10 + static_cast<unsigned>(*d - L'0');
  // 0 and 1 stand for the defaults themselves; a locale without an OEM
  // code page of its own (Unicode-only ones) answers one of them.
  if (cp <= 1 || cp == CP_UTF8 || !IsValidCodePage(cp)) return GetOEMCP();
  return cp;
}

}  // namespace

uint32_t UserDefaultLCID() { return static_cast<uint32_t>(GetUserDefaultLCID()); }

unsigned AnsiCodePage() { return GetACP(); }

unsigned OemCodePage() {
  // The system locale changes only with a restart.
  static const unsigned cp = SystemOemCodePage();
  return cp;
}

namespace {

unsigned Resolve(unsigned cp) {
  if (cp == CP_ACP) return GetACP();
  if (cp == CP_OEMCP) return OemCodePage();
  return cp;
}

}  // namespace

int CompareChar(unsigned char a, unsigned char b, bool ignoreCase) {
  const char ca = static_cast<char>(a), cb = static_cast<char>(b);
  const int r = CompareStringA(LOCALE_USER_DEFAULT, ignoreCase ? NORM_IGNORECASE : 0, &ca, 1, &cb,
                               1);
  if (r == 0) return static_cast<int>(a) - static_cast<int>(b);  // the call failed
  return r - 2;  // CSTR_LESS_THAN 1, CSTR_EQUAL 2, CSTR_GREATER_THAN 3
}

unsigned char UpperChar(unsigned char c) {
  char ch = static_cast<char>(c);
  CharUpperBuffA(&ch, 1);
  return static_cast<unsigned char>(ch);
}

namespace {

// Applies CharUpperBuffA or CharLowerBuffA to a copy of s, in pieces, as
// they take a 32-bit length.
std::string MapCase(const std::string& s, DWORD(WINAPI* map)(LPSTR, DWORD)) {
  std::string r = s;
  size_t done = 0;
  while (done < r.size()) {
    const size_t n = r.size() - done < 0x40000000u ? r.size() - done : 0x40000000u;
    map(r.data() + done, static_cast<DWORD>(n));
    done += n;
  }
  return r;
}

}  // namespace

std::string UpperString(const std::string& s) { return MapCase(s, CharUpperBuffA); }
std::string LowerString(const std::string& s) { return MapCase(s, CharLowerBuffA); }

bool ConvertCodePage(const std::string& in, unsigned fromCodePage, unsigned toCodePage,
                     std::string& out) {
  const unsigned from = Resolve(fromCodePage), to = Resolve(toCodePage);
  if (!IsValidCodePage(from) || !IsValidCodePage(to)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (in.empty()) {
    out.clear();
    return true;
  }
  if (in.size() > static_cast<size_t>(INT_MAX / 4)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  if (from == to) {
    out = in;
    return true;
  }

  const int inLen = static_cast<int>(in.size());
  const int wideLen = MultiByteToWideChar(from, 0, in.data(), inLen, nullptr, 0);
  if (wideLen <= 0) return false;
  std::wstring wide(static_cast<size_t>(wideLen), L'\0');
  if (MultiByteToWideChar(from, 0, in.data(), inLen, wide.data(), wideLen) != wideLen) return false;

  // Characters the target lacks become "_": no best-fit look-alikes, the
  // default character instead. UTF-8 and the like take neither.
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  const char* defaultChar = "_";
  if (TakesNoFlags(to)) {
    flags = 0;
    defaultChar = nullptr;
  }
  int outLen = WideCharToMultiByte(to, flags, wide.data(), wideLen, nullptr, 0, defaultChar, nullptr);
  if (outLen <= 0 && flags != 0 &&
      (GetLastError() == ERROR_INVALID_FLAGS || GetLastError() == ERROR_INVALID_PARAMETER)) {
    // A code page that takes no flags and no default character after all.
    flags = 0;
    defaultChar = nullptr;
    outLen = WideCharToMultiByte(to, flags, wide.data(), wideLen, nullptr, 0, defaultChar, nullptr);
  }
  if (outLen <= 0) return false;
  std::string result(static_cast<size_t>(outLen), '\0');
  if (WideCharToMultiByte(to, flags, wide.data(), wideLen, result.data(), outLen, defaultChar,
                          nullptr) != outLen)
    return false;
  out = std::move(result);
  return true;
}

std::string OemToAnsi(const std::string& s) {
  std::string out;
  return ConvertCodePage(s, CP_OEMCP, CP_ACP, out) ? out : s;
}

std::string AnsiToOem(const std::string& s) {
  std::string out;
  return ConvertCodePage(s, CP_ACP, CP_OEMCP, out) ? out : s;
}

std::string Utf8ToAnsi(const std::string& s) {
  std::string out;
  return ConvertCodePage(s, CP_UTF8, CP_ACP, out) ? out : s;
}

std::string AnsiToUtf8(const std::string& s) {
  std::string out;
  return ConvertCodePage(s, CP_ACP, CP_UTF8, out) ? out : s;
}

}  // namespace zf::os
