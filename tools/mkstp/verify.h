// Reading a written package back with the archive engine, as the wizard
// will: its directory must hold exactly the entries written, and every
// file's data must decrypt under the package password and decompress to
// the right size and CRC-32.
#pragma once

#include <string>
#include <vector>

#include "package_records.h"
#include "progress.h"

namespace mkstp {

// Reads the package at path; messages call it shownAs. Raises Failure
// naming the first entry that does not check out.
void VerifyPackage(const std::string& path, const std::string& shownAs,
                   const std::vector<EntryRecord>& written, Progress& progress);

}  // namespace mkstp
