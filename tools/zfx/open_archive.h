// Opening the archive named on the command line, for both commands.
#pragma once

#include <string>

#include "archive/ZFArchiver.h"
#include "console.h"

namespace zfx {

// Opens path in archiver. The component creates an empty archive in place
// of a missing file; zfx only ever reads, so a missing file (or a folder) is
// refused before Open. False, with the reason printed, when the archive
// cannot be opened.
bool OpenArchive(zf::TZipArchiver& archiver, const std::string& path, Console& console);

}  // namespace zfx
