// The "x" and "t" commands: one run of the component over the selected
// entries, extracting them or testing them.
#pragma once

#include "console.h"
#include "zfx.h"

namespace zfx {

// Runs the extraction (or, for Command::Test, the test) the command line
// describes; returns the exit status.
int RunExtract(const CommandLine& cmd, Console& console);

}  // namespace zfx
