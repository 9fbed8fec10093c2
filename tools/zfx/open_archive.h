// Opening the archive named on the command line, for every command.
#pragma once

#include "archive/ZFArchiver.h"
#include "console.h"
#include "zfx.h"

namespace zfx {

// Opens cmd's archive (cmd.FileToOpen()) in archiver. The component creates
// an empty archive in place of a missing file; zfx only ever reads, so a
// missing file, a folder and an empty file are refused before Open, each in
// its own words. False, with the reason printed once, when the archive
// cannot be opened; a directory that was damaged but read is warned about.
bool OpenArchive(zf::TZipArchiver& archiver, const CommandLine& cmd, Console& console);

}  // namespace zfx
