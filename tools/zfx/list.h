// The "l" command: lists the entries of an archive.
#pragma once

#include "console.h"
#include "zfx.h"

namespace zfx {

// Lists cmd.archive on standard output; returns the exit status.
int RunList(const CommandLine& cmd, Console& console);

}  // namespace zfx
