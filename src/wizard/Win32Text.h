// Text for the wide (W) functions of Windows: the wizard keeps its texts in
// UTF-8 and paths in the ANSI code page, and shows both through the wide
// API so they read correctly whatever the machine's code page is.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace setup::win32 {

// text in the given code page (UTF-8 unless told otherwise) as UTF-16.
std::wstring Widen(std::string_view text, UINT codePage = CP_UTF8);
// UTF-16 as UTF-8.
std::string Narrow(std::wstring_view wide);

}  // namespace setup::win32
