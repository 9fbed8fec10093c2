// The walk over the source folder: every file and folder below it, in a
// fixed order, with what the package records of each.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mkstp {

struct SourceEntry {
  std::string path;          // on disk, for opening
  std::string relativeName;  // "/" as separator, a folder ends with "/"; ANSI
  std::string storedName;    // relativeName in the names' code page
  bool folder = false;
  uint32_t attributes = 0;   // Windows attribute bits as the system reports them
  uint32_t dosDateTime = 0;  // last write, local time
  int64_t size = 0;          // of a file
};

// Lists sourceDir recursively. The order is fixed whatever order the system
// lists in: within each folder by the bytes of the names, each folder
// entry directly followed by its contents. Raises Failure for a source that
// is missing or not a folder, a folder that cannot be listed, an entry that
// is not a regular file or folder (Linux: a device, pipe, socket or broken
// link), a name that cannot be stored (stored_names.h), and two names that
// Windows would take for one file.
std::vector<SourceEntry> WalkSource(const std::string& sourceDir, unsigned nameCodePage);

}  // namespace mkstp
