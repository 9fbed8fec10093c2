// The "x" command: extracts the selected entries of an archive.
#pragma once

#include "console.h"
#include "zfx.h"

namespace zfx {

// Runs the extraction the command line describes; returns the exit status.
int RunExtract(const CommandLine& cmd, Console& console);

}  // namespace zfx
