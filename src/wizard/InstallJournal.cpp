// The install journal: this run's records, the product's merged journal,
// and uninstall.dat's text.
#include "wizard/InstallJournal.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "archive/ZFStrFunc.h"
#include "package/PackageFormat.h"
#include "platform/platform.h"

namespace setup {
namespace {

constexpr std::string_view kMagic = "zfsetup journal";
constexpr std::string_view kVersion = "1";
constexpr std::string_view kSetting = "setting";
constexpr std::string_view kSettingLanguage = "language";
constexpr std::string_view kSettingId = "id";
constexpr std::string_view kSettingVersion = "version";

const char* KindName(JournalKind kind) {
  switch (kind) {
    case JournalKind::Folder: return "folder";
    case JournalKind::File: return "file";
    case JournalKind::Link: return "link";
    case JournalKind::Desktop: return "desktop";
    case JournalKind::Group: return "group";
    case JournalKind::Registry: return "registry";
    case JournalKind::Removed: return "removed";
  }
  return "";
}

std::optional<JournalKind> KindOf(std::string_view name) {
  for (JournalKind k : {JournalKind::Folder, JournalKind::File, JournalKind::Link,
                        JournalKind::Desktop, JournalKind::Group, JournalKind::Registry})
    if (name == KindName(k)) return k;
  return std::nullopt;
}

TJournalRecord Record(JournalKind kind, std::string path, std::string backup = "",
                      std::string root = "") {
  TJournalRecord r;
  r.kind = kind;
  r.path = std::move(path);
  r.backup = std::move(backup);
  r.root = std::move(root);
  return r;
}

bool SameRecord(const TJournalRecord& a, const TJournalRecord& b) {
  return a.kind == b.kind && a.root == b.root && SamePath(a.path, b.path);
}

std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

// An absolute path (a drive and its root, or the system's root) without a
// segment that climbs: the only kind a journal may name.
bool IsPlainAbsolute(const std::string& path) {
#ifdef _WIN32
  const bool absolute = path.size() >= 3 && path[1] == ':' && path[2] == '\\';
#else
  const bool absolute = !path.empty() && path[0] == '/';
#endif
  if (!absolute || path.find_first_of("\t\r\n") != std::string::npos) return false;
  std::string segment;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == zf::kPathDelim) {
      if (segment.find_first_not_of(". ") == std::string::npos && segment.find("..") != std::string::npos)
        return false;
      segment.clear();
    } else {
      segment += path[i];
    }
  }
  return true;
}

// `path` lies inside `folder` (a path with its trailing separator).
bool Inside(const std::string& path, const std::string& folder) {
  const std::string f = zf::AddTrailingDelimiter(folder);
  return path.size() > f.size() && SamePath(path.substr(0, f.size()), f);
}

// The folder that holds `path` is named `name` (the group is named after
// the product's base name).
bool FolderNameIs(const std::string& path, const std::string& name) {
  const std::string folder = zf::RemoveTrailingDelimiter(zf::DirectoryPart(path));
  return SamePath(zf::FileNamePart(folder), name);
}

bool EndsWithLnk(const std::string& path) {
  return zf::os::UpperString(path).ends_with(".LNK");
}

bool RecordAllowed(const TJournalRecord& r, const TProductInfo& product,
                   const std::vector<TJournalRecord>& groups) {
  if (r.kind == JournalKind::Registry)
    return (r.root == "HKLM" || r.root == "HKCU") && r.path == UninstallKeyFor(product.id);
  if (!IsPlainAbsolute(r.path)) return false;
  switch (r.kind) {
    case JournalKind::File:
      return Inside(r.path, product.location);
    case JournalKind::Folder:
      // The install folder, what lies in it, and the parents made for it.
      return SamePath(zf::AddTrailingDelimiter(r.path), product.location) ||
             Inside(r.path, product.location) || Inside(product.location, r.path);
    case JournalKind::Link:
      // In the product's group, which an earlier install may have made.
      return std::any_of(groups.begin(), groups.end(),
                         [&](const TJournalRecord& g) { return Inside(r.path, g.path); }) ||
             (FolderNameIs(r.path, product.baseName) && EndsWithLnk(r.path));
    case JournalKind::Desktop:
      return EndsWithLnk(r.path);
    case JournalKind::Group:
    case JournalKind::Registry:
      break;
    case JournalKind::Removed:
      return false;  // never in a saved journal
  }
  return true;
}

}  // namespace

bool SamePath(const std::string& a, const std::string& b) {
#ifdef _WIN32
  return a.size() == b.size() && zf::os::UpperString(a) == zf::os::UpperString(b);
#else
  return a == b;
#endif
}

std::string UninstallKeyFor(const std::string& id) {
  return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + id;
}

// ---- this run ---------------------------------------------------------------------

void TInstallJournal::AddFolder(const std::string& path) {
  run_.push_back(Record(JournalKind::Folder, zf::RemoveTrailingDelimiter(path)));
}

void TInstallJournal::AddFile(const std::string& path, const std::string& backup) {
  run_.push_back(Record(JournalKind::File, path, backup));
}

void TInstallJournal::AddLink(const std::string& path, const std::string& backup,
                              JournalKind kind) {
  run_.push_back(Record(kind, path, backup));
}

void TInstallJournal::AddGroup(const std::string& path) {
  run_.push_back(Record(JournalKind::Group, zf::RemoveTrailingDelimiter(path)));
}

void TInstallJournal::AddRemoved(const std::string& path, const std::string& backup) {
  run_.push_back(Record(JournalKind::Removed, path, backup));
}

void TInstallJournal::AddRegistry(const std::string& root, const std::string& key, bool created) {
  run_.push_back(Record(JournalKind::Registry, key, "", root));
  if (!created) keptKeys_.push_back(root + "\\" + key);
}

void TInstallJournal::SetFingerprint(const std::string& path, int64_t size, uint32_t crc) {
  for (auto it = run_.rbegin(); it != run_.rend(); ++it) {
    if (it->kind == JournalKind::File && SamePath(it->path, path)) {
      it->size = size;
      it->crc = crc;
      return;
    }
  }
}

bool TInstallJournal::TouchedThisRun(const std::string& path) const {
  return std::any_of(run_.begin(), run_.end(), [&](const TJournalRecord& r) {
    return r.kind != JournalKind::Registry && SamePath(r.path, path);
  });
}

std::vector<TJournalRecord> TInstallJournal::RunToUndo() const {
  std::vector<TJournalRecord> out;
  for (const auto& r : run_) {
    const bool kept = r.kind == JournalKind::Registry &&
                      std::find(keptKeys_.begin(), keptKeys_.end(), r.root + "\\" + r.path) !=
                          keptKeys_.end();
    if (!kept) out.push_back(r);
  }
  return out;
}

std::vector<TJournalRecord> TInstallJournal::Product() const {
  std::vector<TJournalRecord> out = previous_;
  for (const TJournalRecord& r : run_) {
    if (r.kind == JournalKind::Removed) {
      std::erase_if(out, [&](const TJournalRecord& o) {
        return o.kind != JournalKind::Registry && SamePath(o.path, r.path);
      });
      continue;
    }
    auto same = std::find_if(out.begin(), out.end(),
                             [&](const TJournalRecord& o) { return SameRecord(o, r); });
    TJournalRecord saved = r;
    saved.backup.clear();
    if (same == out.end())
      out.push_back(saved);
    else
      *same = saved;  // the same place, as this run left it
  }
  return out;
}

// ---- uninstall.dat ------------------------------------------------------------------

std::string SerializeJournal(const TProductInfo& product,
                             const std::vector<TJournalRecord>& records) {
  using zf::os::AnsiToUtf8;
  std::string text = std::string(kMagic) + "\t" + std::string(kVersion) + "\r\n";
  text += "product\t" + AnsiToUtf8(product.baseName) + "\t" + product.displayName + "\t" +
          AnsiToUtf8(product.location) + "\r\n";
  const auto setting = [&](std::string_view name, const std::string& value) {
    if (!value.empty())
      text.append(kSetting).append("\t").append(name).append("\t").append(value).append("\r\n");
  };
  setting(kSettingLanguage, product.language);
  // The id only where it is not the base name, which a journal without it
  // means.
  if (product.id != product.baseName) setting(kSettingId, AnsiToUtf8(product.id));
  setting(kSettingVersion, product.version);
  for (const TJournalRecord& r : records) {
    text += KindName(r.kind);
    if (r.kind == JournalKind::Registry) text.append("\t").append(r.root);
    text.append("\t").append(AnsiToUtf8(r.path));
    if (r.kind == JournalKind::File) {
      char crc[16];
      std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(r.crc));
      text.append("\t").append(std::to_string(r.size)).append("\t").append(crc);
    }
    text += "\r\n";
  }
  return text;
}

std::optional<std::vector<TJournalRecord>> ParseJournal(const std::string& text,
                                                        TProductInfo& product) {
  using zf::os::Utf8ToAnsi;
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  if (lines.size() < 2 || lines[0] != std::string(kMagic) + "\t" + std::string(kVersion))
    return std::nullopt;
  const auto head = SplitFields(lines[1]);
  if (head.size() != 4 || head[0] != "product" || head[1].empty()) return std::nullopt;
  product = {Utf8ToAnsi(head[1]), head[2], zf::AddTrailingDelimiter(Utf8ToAnsi(head[3])), "",
             Utf8ToAnsi(head[1]), ""};
  if (!IsPlainAbsolute(product.location)) return std::nullopt;

  std::vector<TJournalRecord> records;
  for (size_t i = 2; i < lines.size(); ++i) {
    const auto f = SplitFields(lines[i]);
    if (f[0] == kSetting) {
      if (f.size() != 3) return std::nullopt;
      if (f[1] == kSettingLanguage) product.language = f[2];
      if (f[1] == kSettingId) product.id = Utf8ToAnsi(f[2]);
      if (f[1] == kSettingVersion) product.version = f[2];
      continue;
    }
    const auto kind = KindOf(f[0]);
    if (!kind) return std::nullopt;
    TJournalRecord r;
    r.kind = *kind;
    if (r.kind == JournalKind::Registry) {
      if (f.size() != 3) return std::nullopt;
      r.root = f[1];
      r.path = Utf8ToAnsi(f[2]);
    } else if (r.kind == JournalKind::File) {
      if (f.size() != 4) return std::nullopt;
      r.path = Utf8ToAnsi(f[1]);
      const auto [p1, e1] = std::from_chars(f[2].data(), f[2].data() + f[2].size(), r.size);
      const auto [p2, e2] = std::from_chars(f[3].data(), f[3].data() + f[3].size(), r.crc, 16);
      if (e1 != std::errc() || e2 != std::errc() || f[3].size() != 8) return std::nullopt;
    } else {
      if (f.size() != 2) return std::nullopt;
      r.path = Utf8ToAnsi(f[1]);
    }
    records.push_back(r);
  }
  if (!IsValidProductId(product.id)) return std::nullopt;
  std::vector<TJournalRecord> groups;
  for (const auto& r : records)
    if (r.kind == JournalKind::Group) groups.push_back(r);
  for (const auto& r : records)
    if (!RecordAllowed(r, product, groups)) return std::nullopt;
  return records;
}

}  // namespace setup
