// Programs started across the line between the user's rights and an
// administrator's: whether this process has administrator rights, a copy
// of it started with them ("runas"), and an installed program started as
// the user who started setup even when setup itself runs elevated.
// Windows only; the shell services (ShellServicesWin32) call these.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace setup::win32 {

// An elevated token (Vista and later), or an administrator's before.
bool RunsElevated();

// This program again, elevated, with `args` (UTF-8): waits for it with
// `owner` (if any) disabled but painted, and gives its exit code; nothing
// when it did not start (the user declined, or the system refused).
std::optional<int> RunSelfElevated(const std::vector<std::string>& args, HWND owner);

// `program` (ANSI path) started in `folder` as the desktop's user; false
// when it could not be started.
bool StartAsDesktopUser(const std::string& program, const std::string& folder);

// One argument as CommandLineToArgvW reads it back (quoted when it holds
// blanks or quotes, backslashes before a quote doubled).
std::wstring QuotedArgument(const std::wstring& arg);

// The setup build for the tests takes the process for one without
// administrator rights, so the hand-over to an elevated copy can run
// under Wine, where every process is elevated.
void PretendNotElevatedForTests();

}  // namespace setup::win32
