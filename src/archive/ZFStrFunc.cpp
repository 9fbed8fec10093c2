// Entry names and paths (see ZFStrFunc.h).
#include "archive/ZFStrFunc.h"

#include <algorithm>

#include "archive/ZFUtf8.h"
#include "platform/platform.h"

namespace zf {

namespace {

bool IsValidUtf8(std::string_view s) {
  for (size_t pos = 0; pos < s.size();) {
    const TUtf8Char c = DecodeUtf8Char(s, pos);
    if (c.Code >= kNotUtf8Base) return false;
    pos += c.Length;
  }
  return true;
}

// Hosts whose writers store names in the file system's bytes, UTF-8 there.
bool WritesFileSystemNames(int host) {
  return host == kHostUnix || host == kHostOsX || host == kUnknownHost;
}

}  // namespace

std::string DecodeEntryName(std::string_view stored, uint16_t flags, int host, bool oemFileNames,
                            std::span<const TExtraBlock> extra) {
  const auto path = std::find_if(extra.begin(), extra.end(), [](const TExtraBlock& b) {
    return b.HeaderID == kExtraUnicodePath;
  });
  // A block cut short by the field's end would give the start of a name.
  if (path != extra.end() && !path->CutShort) {
    const std::span<const uint8_t> storedBytes(reinterpret_cast<const uint8_t*>(stored.data()),
                                               stored.size());
    if (const std::optional<std::string> utf8 = ReadUnicodePath(path->Data, storedBytes))
      return DecodeEntryName(*utf8, kFlagUtf8Name, host, oemFileNames);
  }
  const std::string name(stored.substr(0, stored.find('\0')));
  // Most names are plain ASCII, which reads the same in every OEM code page,
  // in UTF-8 and in every ANSI code page: no conversion to pay for.
  if (std::all_of(name.begin(), name.end(), [](char c) { return (c & 0x80) == 0; })) return name;
  // Bit 11 states the encoding; reading such a name as OEM would garble
  // every character outside ASCII.
  if (flags & kFlagUtf8Name) return os::Utf8ToAnsi(name);
  if (WritesFileSystemNames(host) && IsValidUtf8(name)) return os::Utf8ToAnsi(name);
  return oemFileNames ? os::OemToAnsi(name) : name;
}

std::string_view ExtractFileDrive(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') {
    const char d = path[0];
    return (d >= 'A' && d <= 'Z') || (d >= 'a' && d <= 'z') ? path.substr(0, 2)
                                                            : std::string_view{};
  }
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    const auto sep = std::find_if(path.begin() + 2, path.end(), IsSeparator);
    if (sep == path.end()) return path;
    const auto shareEnd = std::find_if(sep + 1, path.end(), IsSeparator);
    return path.substr(0, static_cast<size_t>(shareEnd - path.begin()));
  }
  return {};
}

bool IsFloppyPath(std::string_view path) {
  const std::string_view drive = ExtractFileDrive(path);
  return drive.size() == 2 && drive[1] == ':' &&
         (drive[0] == 'a' || drive[0] == 'A' || drive[0] == 'b' || drive[0] == 'B');
}

bool IsRemovablePath(const std::string& path) {
  return IsFloppyPath(path) || os::IsDriveRemovable(path);
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string WithBackslashes(std::string name) {
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

size_t FileNameStart(std::string_view path) {
#ifdef _WIN32
  const size_t cut = path.find_last_of("\\/:");
#else
  // A colon is a character of file names on Linux, never a drive.
  const size_t cut = path.find_last_of("\\/");
#endif
  return cut == std::string_view::npos ? 0 : cut + 1;
}

std::string FileNamePart(std::string_view path) {
  return std::string(path.substr(FileNameStart(path)));
}

std::string DirectoryPart(std::string_view path) {
  return std::string(path.substr(0, FileNameStart(path)));
}

std::string AddTrailingDelimiter(std::string path) {
  if (path.empty() || path.back() != kPathDelim) path += kPathDelim;
  return path;
}

std::string RemoveTrailingDelimiter(std::string path) {
  if (!path.empty() && path.back() == kPathDelim) path.pop_back();
  return path;
}

std::string ToPlatformDelimiters(std::string name) {
  std::replace_if(name.begin(), name.end(), IsSeparator, kPathDelim);
  return name;
}

std::string ToArchiveDelimiters(std::string name) {
  std::replace(name.begin(), name.end(), kPathDelim, kArchiveDelim);
  return name;
}

bool DirectoryExists(const std::string& dir) { return os::DirectoryExists(dir); }

bool ForceDirectories(const std::string& dir) {
  if (dir.empty()) return false;
  return os::DirectoryExists(dir) || os::ForceDirectories(dir);
}

}  // namespace zf
