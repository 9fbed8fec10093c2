// Walking the source folder in a fixed order, with each entry's stored
// name, attributes, time and size.
#include "source_walk.h"

#include <algorithm>
#include <set>

#include "archive/ZFStrFunc.h"
#include "mkstp.h"
#include "platform/platform.h"
#include "stored_names.h"

namespace mkstp {

namespace {

class Walker {
 public:
  Walker(unsigned nameCodePage) : nameCodePage_(nameCodePage) {}

  void Walk(const std::string& dir, const std::string& prefix) {
    std::vector<zf::os::DirEntry> listing;
    if (!zf::os::ListDirectory(dir, listing))
      throw Failure(dir + ": cannot list the folder: " + SystemError());
    std::sort(listing.begin(), listing.end(),
              [](const zf::os::DirEntry& a, const zf::os::DirEntry& b) { return a.name < b.name; });
    for (const zf::os::DirEntry& item : listing) {
      SourceEntry entry;
      entry.path = dir + zf::kPathDelim + item.name;
      entry.folder = (item.attributes & zf::os::faDirectory) != 0;
      entry.relativeName = prefix + item.name + (entry.folder ? "/" : "");
      entry.attributes = item.attributes;
#ifndef _WIN32
      // The Linux layer marks every regular file with the archive bit; an
      // entry with neither bit is a device, pipe, socket or broken link,
      // which a package cannot hold (and a pipe would block the read).
      if (!entry.folder && !(item.attributes & zf::os::faArchive))
        throw Failure(entry.path + ": not a regular file or folder");
#endif
      entry.storedName = ToStoredName(entry.relativeName, nameCodePage_, entry.path);
      if (!folded_.insert(FoldAsciiCase(entry.storedName)).second)
        throw Failure(entry.path +
                      ": another name differs from it only in case; Windows would make one "
                      "file of the two");
      if (!zf::os::GetFileDosDateTime(entry.path, entry.dosDateTime))
        throw Failure(entry.path + ": cannot read its time: " + SystemError());
      if (!entry.folder) {
        entry.size = zf::os::FileSize(entry.path);
        if (entry.size < 0)
          throw Failure(entry.path + ": cannot read the file: " + SystemError());
      }
      entries_.push_back(entry);
      if (entry.folder) Walk(entry.path, entry.relativeName);
    }
  }

  std::vector<SourceEntry> Take() { return std::move(entries_); }

 private:
  unsigned nameCodePage_;
  std::vector<SourceEntry> entries_;
  std::set<std::string> folded_;
};

}  // namespace

std::vector<SourceEntry> WalkSource(const std::string& sourceDir, unsigned nameCodePage) {
  if (!zf::os::DirectoryExists(sourceDir)) {
    if (zf::os::FileExists(sourceDir)) throw Failure(sourceDir + ": not a folder");
    throw Failure(sourceDir + ": no such folder");
  }
  std::string root = sourceDir;
  while (root.size() > 1 && (root.back() == '/' || root.back() == zf::kPathDelim)) root.pop_back();
  Walker walker(nameCodePage);
  walker.Walk(root, "");
  return walker.Take();
}

}  // namespace mkstp
