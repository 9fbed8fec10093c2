// The portable half of the wizard's shell services.
#include "wizard/ShellHelpers.h"

#include <algorithm>
#include <atomic>
#include <random>

#include "archive/ZFMasks.h"
#include "archive/ZFStrFunc.h"
#include "platform/platform.h"
#include "wizard/ErrorBox.h"
#include "wizard/WizardTexts.h"

namespace setup {
namespace {

// "\" counts everywhere: the engine reports entry names with it on every
// system.
bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == ':';
#else
  return c == '\\' || c == '/';
#endif
}

size_t AfterLastSeparator(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i)
    if (IsSeparator(path[i - 1])) return i;
  return 0;
}

std::string IoErrorText(int code) {
  switch (code) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 5: return "File access denied";
    default: return "I/O error " + std::to_string(code);
  }
}

}  // namespace

EInOutError::EInOutError(int code) : zf::Exception(IoErrorText(code)), code_(code) {}

std::string FolderPart(const std::string& path) { return path.substr(0, AfterLastSeparator(path)); }

std::string FileNamePart(const std::string& path) { return path.substr(AfterLastSeparator(path)); }

std::string ReplaceAll(std::string source, const std::string& pattern,
                       const std::string& replacement) {
  if (pattern.empty()) return source;
  for (size_t at = source.find(pattern); at != std::string::npos; at = source.find(pattern))
    source.replace(at, pattern.size(), replacement);
  return source;
}

std::string LinkFileName(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || dot < AfterLastSeparator(fileName)) return fileName + ".lnk";
  return fileName.substr(0, dot) + ".lnk";
}

std::vector<TLinkName> LinkNamesFor(const std::vector<std::string>& targets) {
  const auto key = [](const std::string& name) { return zf::os::UpperString(name); };
  std::vector<TLinkName> out;
  std::vector<std::string> seen;
  for (const std::string& t : targets) {
    if (std::find(seen.begin(), seen.end(), key(t)) != seen.end()) continue;
    seen.push_back(key(t));
    out.push_back({t, ""});
  }
  std::vector<std::string> taken;
  const auto claim = [&](TLinkName& n, const std::string& wanted) {
    if (std::find(taken.begin(), taken.end(), key(wanted)) != taken.end()) return false;
    taken.push_back(key(wanted));
    n.link = wanted;
    return true;
  };
  const auto isProgram = [&](const std::string& name) {
    return key(name).ends_with(".EXE");
  };
  for (TLinkName& n : out)
    if (isProgram(n.target)) claim(n, LinkFileName(n.target));
  for (TLinkName& n : out) {
    if (!n.link.empty() || claim(n, LinkFileName(n.target)) || claim(n, n.target + ".lnk")) continue;
    for (int i = 2; !claim(n, n.target + " (" + std::to_string(i) + ").lnk"); ++i) {
    }
  }
  return out;
}

bool CreateFolderWithParents(const std::string& path) {
  // Every trailing separator goes, not only one: the wizard's group path has
  // a doubled one before the product's name, and with one removed the
  // Programs folder would count as its own parent and never be created.
  std::string dir = path;
  while (!dir.empty() && dir.back() == zf::kPathDelim) dir.pop_back();
  const std::string parent = FolderPart(dir);
  if (dir.size() < 3 || zf::os::DirectoryExists(dir) || parent == dir) return true;
  return CreateFolderWithParents(parent) && zf::os::CreateDir(dir);
}

bool IsListedFile(uint32_t attributes) {
  using namespace zf::os;
  return (attributes & (faHidden | faSysFile | faVolumeID | faDirectory)) == 0;
}

void SortNamesIgnoringCase(std::vector<std::string>& names) {
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return zf::CompareNamesIgnoreCase(a, b) < 0;
  });
}

std::vector<std::string> SplitMasks(const std::string& masks) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= masks.size()) {
    const size_t end = std::min(masks.find(';', start), masks.size());
    if (end > start) out.push_back(masks.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

std::vector<std::string> ListFilesPortable(const std::string& folder, const std::string& masks) {
  std::vector<zf::os::DirEntry> entries;
  if (!zf::os::DirectoryExists(folder) || !zf::os::ListDirectory(folder, entries))
    throw EInOutError(zf::os::LastErrorCode());
  std::vector<std::string> names;
  for (const std::string& mask : SplitMasks(masks))
    for (const auto& entry : entries)
      if (IsListedFile(entry.attributes) && zf::WildcardMatch(entry.name, mask, true))
        names.push_back(entry.name);
  SortNamesIgnoringCase(names);
  return names;
}

bool CopyFileReplacing(const std::string& from, const std::string& to) {
  zf::os::File in;
  if (!in.Open(from, zf::os::OpenMode::ReadOnlyDenyNone)) return false;
  const std::string temp = to + ".zfcopy";
  bool ok;
  {
    zf::os::File out;
    ok = out.Open(temp, zf::os::OpenMode::Create);
    std::vector<char> buffer(1 << 16);
    while (ok) {
      const int64_t got = in.Read(buffer.data(), static_cast<int64_t>(buffer.size()));
      if (got <= 0) {
        ok = got == 0;
        break;
      }
      ok = out.Write(buffer.data(), got) == got;
    }
    uint32_t time = 0;
    if (ok && zf::os::GetFileDosDateTime(from, time)) out.SetDosDateTime(time);
  }
  const uint32_t attributes = zf::os::GetAttributes(from);
  const uint32_t old = zf::os::GetAttributes(to);
  if (ok && old != zf::os::kInvalidAttributes && (old & zf::os::faReadOnly))
    zf::os::SetAttributes(to, old & ~zf::os::faReadOnly);
  ok = ok && zf::os::RenameFile(temp, to);
  if (!ok) {
    zf::os::RemoveFile(temp);
    if (old != zf::os::kInvalidAttributes) zf::os::SetAttributes(to, old);
    return false;
  }
  if (attributes != zf::os::kInvalidAttributes) zf::os::SetAttributes(to, attributes);
  return true;
}

bool RemoveFileEvenReadOnly(const std::string& path) {
  if (!zf::os::FileExists(path)) return true;
  if (zf::os::RemoveFile(path)) return true;
  const uint32_t attributes = zf::os::GetAttributes(path);
  return zf::os::SetAttributes(path, attributes & ~zf::os::faReadOnly) && zf::os::RemoveFile(path);
}

bool RemoveFolderIfEmpty(const std::string& path) {
  const std::string dir = zf::RemoveTrailingDelimiter(path);
  if (!zf::os::DirectoryExists(dir)) return true;
  std::vector<zf::os::DirEntry> entries;
  if (!zf::os::ListDirectory(zf::AddTrailingDelimiter(dir), entries) || !entries.empty())
    return false;
  return zf::os::RemoveDir(dir);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  zf::os::File file;
  if (!file.Open(path, zf::os::OpenMode::ReadOnlyDenyNone)) return false;
  const int64_t size = file.Size();
  // Only small files are read whole (journals, configurations).
  if (size < 0 || size > (64 << 20)) return false;
  bytes.assign(static_cast<size_t>(size), '\0');
  return file.Read(bytes.data(), size) == size;
}

bool WriteFileReplacing(const std::string& path, const std::string& bytes) {
  const std::string temp = path + ".zfnew";
  {
    zf::os::File file;
    if (!file.Open(temp, zf::os::OpenMode::Create)) return false;
    const auto size = static_cast<int64_t>(bytes.size());
    if (file.Write(bytes.data(), size) != size || !file.Flush()) {
      file.Close();
      zf::os::RemoveFile(temp);
      return false;
    }
  }
  if (zf::os::RenameFile(temp, path)) return true;
  zf::os::RemoveFile(temp);
  return false;
}

std::string CollapseSeparators(const std::string& path) {
  std::string out;
  for (size_t i = 0; i < path.size(); ++i) {
    const bool separator = path[i] == zf::kPathDelim;
    if (separator && i > 1 && path[i - 1] == zf::kPathDelim) continue;
    out += path[i];
  }
  return out;
}

std::string MakePrivateTempFolder() {
  static std::atomic<unsigned> counter{0};
  const std::string base = zf::os::TempDirectory();
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string dir = base + "zfsetup-" + std::to_string(random() % 1000000000u) + "-" +
                            std::to_string(counter++);
    // Creation fails when the name exists, so the folder is ours alone.
    if (zf::os::CreateDir(dir)) return dir + zf::kPathDelim;
  }
  throw EWizardError(&TWizardTexts::noTempFolder);
}

void RemoveFolderTree(const std::string& folder) {
  std::vector<zf::os::DirEntry> entries;
  if (zf::os::ListDirectory(folder, entries)) {
    for (const auto& entry : entries) {
      const std::string path = folder + entry.name;
      zf::os::SetAttributes(path, entry.attributes & ~zf::os::faReadOnly);
      if (entry.attributes & zf::os::faDirectory)
        RemoveFolderTree(path + zf::kPathDelim);
      else
        zf::os::RemoveFile(path);
    }
  }
  zf::os::RemoveDir(zf::RemoveTrailingDelimiter(folder));
}

}  // namespace setup
