// Entry names and paths: the decoding of stored names into the ANSI code
// page, the separators of archive names and of the file system, drive tests
// and folder helpers over the platform layer.
//
// Stored names use "/"; names handed to the file system use kPathDelim
// ("\" on Windows, "/" elsewhere). Nothing here judges whether a name is
// safe to extract; that is the extraction's business.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "archive/ZFRecords.h"  // kFlagUtf8Name

namespace zf {

#ifdef _WIN32
constexpr char kPathDelim = '\\';
#else
constexpr char kPathDelim = '/';
#endif
constexpr char kArchiveDelim = '/';

// The host of an entry rebuilt from its local header, which names none.
inline constexpr int kUnknownHost = -1;

// A stored name as the engine uses it: the bytes up to the first zero,
// converted to the ANSI code page. The encoding, in this order:
// - UTF-8 when the entry's flags carry kFlagUtf8Name (whatever oemFileNames
//   says: such a name is never OEM);
// - UTF-8 when the name is valid UTF-8 (and not plain ASCII) and host (the
//   high byte of version made by) is Unix or macOS, or kUnknownHost: Info-ZIP
//   zip and others on those systems store the file system's bytes without
//   the flag, and an OEM reading would garble every character, while OEM
//   names are almost never valid UTF-8;
// - the OEM code page when oemFileNames is on (names from MS-DOS, Windows
//   and every other host);
// - else unchanged.
// A name of ASCII characters only is the same in all of them.
//
// When the entry's extra field holds a Unicode Path block that is valid for
// the stored name (ReadUnicodePath; the first such block counts, and not
// when the field's end cuts it short), its UTF-8 name is the entry's name
// instead, as other extractors read it.
std::string DecodeEntryName(std::string_view stored, uint16_t flags, int host, bool oemFileNames,
                            std::span<const TExtraBlock> extra = {});

// The drive part of a path: "X:" for a letter and a colon, the
// "\\server\share" prefix of a UNC path (either separator), else empty.
std::string_view ExtractFileDrive(std::string_view path);
// The drive part is A: or B: (any case).
bool IsFloppyPath(std::string_view path);
// A floppy path, or the platform reports the path's drive as removable.
bool IsRemovablePath(const std::string& path);

// Either separator, "/" or "\\": archives use both.
bool IsSeparator(char c);
// name with every "/" as "\\", the separator events and items show.
std::string WithBackslashes(std::string name);
// Where the file name of a path starts: after its last separator of either
// kind or (on Windows) a drive colon, 0 when it has none.
size_t FileNameStart(std::string_view path);
// What follows that point, and what precedes it (the folder with its
// trailing separator, or empty).
std::string FileNamePart(std::string_view path);
std::string DirectoryPart(std::string_view path);

// Appends kPathDelim when the path does not end with it (so "" gives the
// root); removes one trailing kPathDelim.
std::string AddTrailingDelimiter(std::string path);
std::string RemoveTrailingDelimiter(std::string path);

// A stored name in the file system's separators: "/" and "\" both become
// kPathDelim, so a name made on Windows with "\" means the same folders on
// every platform.
std::string ToPlatformDelimiters(std::string name);
// A file-system name in the archive's separators: kPathDelim becomes "/".
std::string ToArchiveDelimiters(std::string name);

bool DirectoryExists(const std::string& dir);
// Creates the folder with all missing parents; true when it exists after.
bool ForceDirectories(const std::string& dir);

}  // namespace zf
