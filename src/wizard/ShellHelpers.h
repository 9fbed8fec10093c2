// The portable half of the wizard's shell services: path parts, the text
// replacement of the web link, shortcut names, the Start-menu group folder,
// the plain-file filter and order of the folder listing, the I/O error of a
// listing, and the private temporary folder.
//
// Paths use the platform's separator (zf::kPathDelim, "\" on Windows); on
// Windows ":" also ends a folder part, as in "D:setup.exe". "\" ends a
// folder part on every system, as the engine's progress events name entries
// with it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/ZFClasses.h"

namespace setup {

// A folder listing failed: the message is the text for the system's error
// code ("File not found" for 2, "Invalid filename" for 3, "File access
// denied" for 5, "I/O error <code>" otherwise).
class EInOutError : public zf::Exception {
 public:
  explicit EInOutError(int code);
  int ErrorCode() const { return code_; }

 private:
  int code_;
};

// The text up to and including the last separator ("" when there is none).
std::string FolderPart(const std::string& path);
// The text after the last separator.
std::string FileNamePart(const std::string& path);

// Every occurrence of `pattern` removed and replaced, searching again from
// the start after each replacement, so an occurrence formed by a removal
// goes too. An empty pattern changes nothing. The replacement must not
// contain the pattern.
std::string ReplaceAll(std::string source, const std::string& pattern,
                       const std::string& replacement);

// The shortcut file's name for a file name: its extension (from the last
// ".") replaced by "lnk", or ".lnk" appended when it has none.
std::string LinkFileName(const std::string& fileName);

// Creates `path` with every missing parent: trailing separators dropped (a
// doubled separator inside the path thus reads as one);
// success at once for fewer than three characters, an existing folder, or a
// path that is its own folder part; otherwise the parent first, then this
// folder. True only when every creation needed succeeded.
bool CreateFolderWithParents(const std::string& path);

// The listing takes plain files only: no hidden, system, volume-label or
// folder entries (read-only and archive files are taken).
bool IsListedFile(uint32_t attributes);
// Sorts names ascending, ignoring case in the user's locale; equal names
// keep their order.
void SortNamesIgnoringCase(std::vector<std::string>& names);
// The masks of a ";"-separated list, in their written order (empty pieces
// dropped).
std::vector<std::string> SplitMasks(const std::string& masks);

// The listing where the system has no Windows file search: the plain files
// of `folder` (ending in the separator) whose names match one of the masks
// ignoring case, each name once per matching mask, sorted. Throws
// EInOutError when the folder cannot be read.
std::vector<std::string> ListFilesPortable(const std::string& folder, const std::string& masks);

// A new folder under the system's temporary folder, ending in the
// separator; throws EWizardError when none can be made.
std::string MakePrivateTempFolder();
// Removes a folder with everything in it (read-only files included);
// errors are ignored.
void RemoveFolderTree(const std::string& folder);

}  // namespace setup
