// One install run with its journal and backups.
#include "wizard/InstallRun.h"

#include <algorithm>

#include "archive/ZFStrFunc.h"
#include "platform/platform.h"
#include "wizard/InstallErrors.h"
#include "wizard/SetupLog.h"
#include "wizard/ShellHelpers.h"

namespace setup {
namespace {

std::string Shown(const std::string& path) { return zf::os::AnsiToUtf8(path); }

// The engine's names with "\" between folders and no trailing separator.
std::string EntryKey(std::string name) {
  std::replace(name.begin(), name.end(), '/', '\\');
  while (!name.empty() && name.back() == '\\') name.pop_back();
  return name;
}

// A stored name that stays inside the install folder: relative, without a
// drive or stream colon and without a segment of dots that climbs.
bool StaysInside(const std::string& name) {
  if (name.empty() || zf::IsSeparator(name.front()) || name.find(':') != std::string::npos)
    return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = start;
    while (end < name.size() && !zf::IsSeparator(name[end])) ++end;
    const std::string segment = name.substr(start, end - start);
    if (!segment.empty() && segment.find_first_not_of(". ") == std::string::npos &&
        std::count(segment.begin(), segment.end(), '.') >= 2)
      return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

TInstallRun::TInstallRun(std::string folder, const std::vector<TPackageEntry>& entries,
                         TSetupLog& log)
    : folder_(std::move(folder)), log_(log) {
  for (const TPackageEntry& e : entries) entries_[EntryKey(e.name)] = &e;
}

TInstallRun::~TInstallRun() {
  if (!backupFolder_.empty()) RemoveFolderTree(backupFolder_);
}

std::vector<std::string> TInstallRun::MissingFolders(const std::string& path) {
  std::vector<std::string> missing;
  std::string dir = zf::RemoveTrailingDelimiter(path);
  while (!dir.empty() && !zf::os::DirectoryExists(dir)) {
    missing.push_back(dir);
    const std::string parent = zf::RemoveTrailingDelimiter(FolderPart(dir));
    if (parent.size() >= dir.size()) break;  // a root that does not exist
    dir = parent;
  }
  std::reverse(missing.begin(), missing.end());
  return missing;
}

void TInstallRun::Begin(const std::string& backupFolder) {
  backupFolder_ = backupFolder;
  for (const std::string& dir : MissingFolders(folder_)) {
    if (!zf::os::CreateDir(dir)) throw EInstallFailed(SystemFailure(dir, zf::os::LastErrorCode()));
    journal_.AddFolder(dir);
    log_.Line("Folder created: " + Shown(dir));
  }
}

void TInstallRun::BeforeEntry(const std::string& entryName) {
  const std::string key = EntryKey(entryName);
  if (!StaysInside(key)) return;
  const std::string target = folder_ + zf::ToPlatformDelimiters(key);
  const auto it = entries_.find(key);
  const bool isFolder = (it != entries_.end() && it->second->folder) ||
                        (!entryName.empty() && zf::IsSeparator(entryName.back()));
  // The engine makes the entry's folders; they are this run's when they
  // are missing now.
  for (const std::string& dir : MissingFolders(isFolder ? target : FolderPart(target))) {
    journal_.AddFolder(dir);
    log_.Line("Folder created: " + Shown(dir));
  }
  if (isFolder) return;
  const std::string backup = PrepareFile(target);
  journal_.AddFile(target, backup);
}

void TInstallRun::AfterEntry(const std::string& entryName) {
  const std::string key = EntryKey(entryName);
  const auto it = entries_.find(key);
  if (it == entries_.end() || it->second->folder || !StaysInside(key)) return;
  const std::string target = folder_ + zf::ToPlatformDelimiters(key);
  journal_.SetFingerprint(target, it->second->size, it->second->crc);
  log_.Line("File installed: " + Shown(target));
}

std::string TInstallRun::PrepareFile(const std::string& path) {
  if (!zf::os::FileExists(path)) return std::string();
  return Backup(path);
}

void TInstallRun::MadeFile(const std::string& path, const std::string& backup, JournalKind kind) {
  const bool link = kind == JournalKind::Link || kind == JournalKind::Desktop;
  if (link)
    journal_.AddLink(path, backup, kind);
  else
    journal_.AddFile(path, backup);
  log_.Line((link ? "Shortcut made: " : "File written: ") + Shown(path));
}

void TInstallRun::RemoveObsolete(const std::string& path) {
  const std::string backup = Backup(path);
  if (!RemoveFileEvenReadOnly(path)) {
    const int code = zf::os::LastErrorCode();
    zf::os::RemoveFile(backup);
    throw EInstallFailed(SystemFailure(path, code));
  }
  journal_.AddRemoved(path, backup);
  log_.Line("Removed, no longer in the product: " + Shown(path));
}

std::string TInstallRun::Backup(const std::string& path) {
  const std::string copy = backupFolder_ + std::to_string(++backups_);
  if (backupFolder_.empty() || !CopyFileReplacing(path, copy))
    throw EInstallFailed({FailureCause::BackupFailed, Shown(path), ""});
  log_.Line("Backup kept of " + Shown(path));
  return copy;
}

void TInstallRun::Commit() {
  if (!backupFolder_.empty()) RemoveFolderTree(backupFolder_);
  backupFolder_.clear();
  log_.Line("Install complete");
}

int TInstallRun::RollBack(IJournalActions& actions) {
  log_.Line("Rolling back");
  return setup::RollBack(journal_.RunToUndo(), actions,
                         [this](const std::string& line) { log_.Line(line); });
}

}  // namespace setup
