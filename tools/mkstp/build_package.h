// One mkstp run: checks everything it can before writing, writes NAME.stp
// and NAME.exe through temporary files beside them, verifies the package
// and only then puts both in place. On any failure nothing it wrote stays.
#pragma once

#include <string>

#include "mkstp.h"
#include "progress.h"

namespace mkstp {

// programPath is argv[0]: the default wizard is setup.exe in its folder.
// Raises Failure.
void BuildPackage(const Options& options, const std::string& programPath, Progress& progress);

}  // namespace mkstp
