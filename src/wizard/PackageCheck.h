// Where the wizard's package is, and whether its bytes are the ones mkstp
// shipped (PackageStamp.h).
//
// Two files: the package is NAME.stp beside the wizard, the wizard's path
// with "stp" for its last three characters. One file: the package lies
// inside the wizard's own executable, where its stamp says, and takes its
// base name from the stamp, whatever the executable is called now.
//
// The check hashes exactly the stamp's range with the platform's SHA-256
// and compares size and digest; a wizard without a stamp checks nothing.
// Portable.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "package/PackageStamp.h"
#include "platform/platform.h"

namespace setup {

struct TPackagePlace {
  std::string path;     // the file that holds the package (ANSI)
  std::string name;     // NAME.stp (ANSI): the names of the configuration and the group follow from it
  int64_t offset = 0;   // where the package begins in that file
  int64_t size = -1;    // its bytes; -1: the whole file
};

// The package of the wizard at exePath with this stamp.
TPackagePlace PackagePlaceFor(const std::string& exePath, const TPackageStamp& stamp);

// Opens `path` into `file` so that nobody can write, rename or delete it
// while `file` stays open (the caller keeps it open until the install is
// done, so the bytes installed are the bytes checked), then hashes the
// stamp's range, telling progress (0 to 100) after each piece. Empty when
// size and digest are the stamp's, else why not, in English for the log: a
// file shorter than the range, a two-file package of another size, a file
// that cannot be opened so, or the digests that differ.
std::string CheckPackageDigest(zf::os::File& file, const std::string& path,
                               const TPackageStamp& stamp,
                               const std::function<void(int percent)>& progress);

}  // namespace setup
