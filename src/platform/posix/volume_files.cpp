// Volume file names on Linux: the one place where a name that differs from
// the wanted one only in letter case stands in for it, as it would on the
// case-insensitive file systems that volume sets come from.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace zf::os {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringAsciiCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

}  // namespace

std::string FindFileIgnoringCase(const std::string& path) {
  if (path.empty() || FileExists(path)) return path;
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return path;
  std::vector<DirEntry> entries;
  if (!ListDirectory(folder.empty() ? "." : folder, entries)) return path;
  for (const DirEntry& e : entries)
    if (!(e.attributes & faDirectory) && SameIgnoringAsciiCase(e.name, name))
      return folder + e.name;
  return path;
}

}  // namespace zf::os
