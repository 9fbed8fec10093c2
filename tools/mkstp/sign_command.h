// The publisher's signing command (mkstp --sign 'COMMAND {file}'): run on
// each file that ships once the file is otherwise complete, so the
// signature is the last thing written into it.
#pragma once

#include <string>

namespace mkstp {

// The command with every {file} replaced by `path`, quoted for the
// system's shell (sh on Linux, cmd on Windows).
std::string SignCommandFor(const std::string& command, const std::string& path);

// Runs it through the shell; raises Failure unless it exits with 0.
void RunSignCommand(const std::string& command, const std::string& path);

}  // namespace mkstp
