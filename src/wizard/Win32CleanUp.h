// The uninstaller's last step on Windows: its own file cannot be deleted
// while it runs, so a copy of it in a private temporary folder is started
// that waits for it to end, deletes it and the folders it kept from being
// empty, and asks the system to remove the copy itself at the next start
// (MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT; without the right to ask,
// the copy stays in the temporary folder). Windows only.
#pragma once

#include <cstdint>
#include <string>

namespace setup::win32 {

// Starts the copy for `file` and `foldersTo` (ANSI, as CleanUpAfterUninstall
// takes them); false when it cannot be started (the file then stays).
bool StartCleanUpCopy(const std::string& file, const std::string& foldersTo);

// The copy's work: waits (a minute at most) for process `processId` to
// end, runs CleanUpAfterUninstall, and schedules its own removal.
void RunCleanUpCopy(uint32_t processId, const std::string& file, const std::string& foldersTo);

}  // namespace setup::win32
