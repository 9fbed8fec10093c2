// Which entries a command works on: the masks of its command line (every
// entry without any), less its -x masks, as the component's mask lists, so
// that one run or walk of the component selects them and an entry two
// masks match is taken once.
#pragma once

#include "archive/ZFArchiver.h"
#include "console.h"
#include "zfx.h"

namespace zfx {

// Sets archiver's FileMasks and ExclusionMasks from cmd. A mask without
// wildcards that names a folder of the archive ("tree/a" or "tree/a/", an
// entry stored below it) also selects everything below it, as bsdtar
// does: otherwise it would match only the folder's own entry. A mask that
// matches no entry (exclusions aside) is reported; returns how many did
// not.
int SelectByMasks(zf::TZipArchiver& archiver, const CommandLine& cmd, Console& console);

}  // namespace zfx
