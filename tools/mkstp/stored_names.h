// Stored names of package entries: the relative path as the file system
// gives it (ANSI code page; UTF-8 on Linux), checked for what the wizard's
// Windows file system can hold and converted to the names' code page:
// UTF-8 (the entries then carry bit 11) or an OEM code page, as the wizard
// reads names without bit 11 with OEMFileNames on.
#pragma once

#include <string>

namespace mkstp {

// The longest stored name, in bytes. It is the most the engine's
// recovery of a damaged directory accepts, and about what a Windows path
// below the install folder can hold anyway.
inline constexpr size_t kMaxStoredNameBytes = 260;

// A character Windows refuses in a file name: \ : * ? " < > | or a control
// character. "/" is not counted here: stored names use it as their
// separator.
bool RefusedByWindows(char c);

// The bytes of relativeName in codePage ("/" as separator; a folder ends
// with "/").
// Raises Failure naming the file when the name holds a character that
// Windows refuses (RefusedByWindows), a character the code page cannot
// hold, or is longer than kMaxStoredNameBytes. displayName is the name
// shown in messages.
std::string ToStoredName(const std::string& relativeName, unsigned codePage,
                         const std::string& displayName);

// Text in the ANSI code page converted to codePage, or nothing when a
// character has no place there: converting back must give the text again
// (the platform puts "_" for what is missing, or a look-alike).
bool ConvertExactly(const std::string& ansiText, unsigned codePage, std::string& out);

// Upper-cases ASCII letters only: two names equal under it would land on
// one file on Windows.
std::string FoldAsciiCase(std::string name);

}  // namespace mkstp
