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

// The shortcut files for the listed targets, one per distinct target (a
// name listed twice, matched by two masks, counts once), in list order.
// Programs (".exe") take their LinkFileName first; every other file takes
// its LinkFileName while that is free, else its whole file name with
// ".lnk" (prog.hlp beside prog.exe gives prog.hlp.lnk, the second of
// readme.htm and readme.txt readme.txt.lnk), so no shortcut ever replaces
// another. Names compare ignoring case, as Windows does.
struct TLinkName {
  std::string target;  // the listed file name
  std::string link;    // the shortcut's file name
};
std::vector<TLinkName> LinkNamesFor(const std::vector<std::string>& targets);

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

// Copies a file with its time and attributes over `to` (replacing a
// read-only one): written beside `to` first and renamed over it, so `to`
// is either the old file or the whole copy. False when anything failed
// (`to` is then as it was).
bool CopyFileReplacing(const std::string& from, const std::string& to);

// Deletes a file, read-only or not (Windows deletes no read-only file);
// true when it is gone or was never there.
bool RemoveFileEvenReadOnly(const std::string& path);
// Removes a folder that holds nothing; true when it is gone or was never
// there.
bool RemoveFolderIfEmpty(const std::string& path);

// A whole file's bytes; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes);
// Writes `bytes` as the file `path`, replacing it only once all is written
// (a file beside it, renamed over it); false when that failed.
bool WriteFileReplacing(const std::string& path, const std::string& bytes);

// The path with every run of separators inside it made one (a leading
// pair, the start of a network path, stays).
std::string CollapseSeparators(const std::string& path);

// A new folder under the system's temporary folder, ending in the
// separator; throws EWizardError when none can be made.
std::string MakePrivateTempFolder();
// Removes a folder with everything in it (read-only files included);
// errors are ignored.
void RemoveFolderTree(const std::string& folder);

}  // namespace setup
