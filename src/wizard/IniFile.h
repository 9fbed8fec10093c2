// The reader of the package configuration, an INI file.
//
// It reads a value as the system's INI reader does: sections and keys
// compared ignoring ASCII case, the first section and key of a name win,
// spaces and tabs around keys and values dropped, one pair of matching
// quotes around a value removed, lines beginning with ";" ignored, and at
// most 2047 bytes of a value kept (the 2048-byte buffer of the original
// reader, its NUL included). A missing file, section or key gives the
// default.
//
// Code pages: the configuration is written by the package's author for the
// Russian product, so its text is taken as code page 1251; a file beginning
// with the UTF-8 byte-order mark is UTF-8. The value is returned as UTF-8
// either way, for the window, which shows UTF-8 through the wide API. The
// default is returned as given.
//
// The same reader serves Windows and every other system, so the wizard shows
// the same texts everywhere.
#pragma once

#include <string>

namespace setup {

// The code page of configuration files without a byte-order mark.
inline constexpr unsigned kConfigCodePage = 1251;

// The value from the INI text `content` (the file's bytes).
std::string IniValueFromText(const std::string& content, const std::string& section,
                             const std::string& key, const std::string& defaultValue);

// The value from the INI file `path` (a path in the ANSI code page).
std::string ReadIniValue(const std::string& path, const std::string& section,
                         const std::string& key, const std::string& defaultValue);

}  // namespace setup
