// Rollback and uninstall over the journal's records.
#include "wizard/JournalUndo.h"

#include <algorithm>
#include <vector>

#include "archive/ZFCrc32.h"
#include "archive/ZFStrFunc.h"
#include "platform/platform.h"
#include "wizard/ShellHelpers.h"
#include "wizard/ShellServices.h"

namespace setup {
namespace {

std::string Shown(const std::string& path) { return zf::os::AnsiToUtf8(path); }

bool Skipped(const std::string& path, const std::vector<std::string>& skip) {
  return std::any_of(skip.begin(), skip.end(),
                     [&](const std::string& s) { return SamePath(s, path); });
}

// A folder that holds only files removed later (the uninstaller's own),
// or folders that do, is no folder kept for the user.
bool HoldsOnly(const std::string& folder, const std::vector<std::string>& skip) {
  std::vector<zf::os::DirEntry> entries;
  const std::string dir = zf::AddTrailingDelimiter(folder);
  if (!zf::os::ListDirectory(dir, entries)) return false;
  return std::all_of(entries.begin(), entries.end(), [&](const zf::os::DirEntry& e) {
    return (e.attributes & zf::os::faDirectory) ? HoldsOnly(dir + e.name, skip)
                                                : Skipped(dir + e.name, skip);
  });
}

}  // namespace

int RollBack(const std::vector<TJournalRecord>& records, IJournalActions& actions,
             const UndoReport& report) {
  int failures = 0;
  const auto note = [&](bool ok, const std::string& done, const std::string& path) {
    report((ok ? "Rollback: " + done + " " : "Rollback failed: could not undo ") + Shown(path));
    if (!ok) ++failures;
  };
  for (auto it = records.rbegin(); it != records.rend(); ++it) {
    const TJournalRecord& r = *it;
    switch (r.kind) {
      case JournalKind::File:
      case JournalKind::Link:
      case JournalKind::Removed:
      case JournalKind::Desktop:
        if (r.backup.empty())
          note(actions.RemoveFile(r.path), "removed", r.path);
        else
          note(actions.RestoreFile(r.backup, r.path), "restored", r.path);
        break;
      case JournalKind::Folder:
      case JournalKind::Group:
        // A folder that held something before the run holds it still.
        if (actions.RemoveFolderIfEmpty(r.path))
          report("Rollback: removed folder " + Shown(r.path));
        else
          report("Rollback: folder not empty, kept " + Shown(r.path));
        break;
      case JournalKind::Registry:
        note(actions.RemoveUninstallEntry(r.root, r.path), "removed registry key",
             r.root + "\\" + r.path);
        break;
    }
  }
  return failures;
}

void Uninstall(const std::vector<TJournalRecord>& records, const std::vector<std::string>& skip,
               IJournalActions& actions, const UndoReport& report, int& kept) {
  kept = 0;
  for (auto it = records.rbegin(); it != records.rend(); ++it) {
    const TJournalRecord& r = *it;
    if (r.kind != JournalKind::Registry && Skipped(r.path, skip)) continue;
    switch (r.kind) {
      case JournalKind::File:
        if (!actions.FileUnchanged(r.path, r.size, r.crc)) {
          // Changed by the user, or already gone.
          if (zf::os::FileExists(r.path)) {
            ++kept;
            report("Kept, changed since the install: " + Shown(r.path));
          }
          break;
        }
        report((actions.RemoveFile(r.path) ? "Removed " : "Could not remove ") + Shown(r.path));
        break;
      case JournalKind::Link:
      case JournalKind::Desktop:
        if (zf::os::FileExists(r.path))
          report((actions.RemoveFile(r.path) ? "Removed shortcut " : "Could not remove ") +
                 Shown(r.path));
        break;
      case JournalKind::Folder:
      case JournalKind::Group:
        if (!zf::os::DirectoryExists(r.path)) break;
        if (actions.RemoveFolderIfEmpty(r.path)) {
          report("Removed folder " + Shown(r.path));
        } else if (HoldsOnly(r.path, skip)) {
          report("Folder left for the clean-up: " + Shown(r.path));
        } else {
          ++kept;
          report("Kept folder, not empty: " + Shown(r.path));
        }
        break;
      case JournalKind::Registry:
        report((actions.RemoveUninstallEntry(r.root, r.path) ? "Removed registry key "
                                                             : "Could not remove registry key ") +
               r.root + "\\" + r.path);
        break;
      case JournalKind::Removed:
        break;  // never in a product's journal
    }
  }
}

// ---- the real steps -------------------------------------------------------------

bool TJournalActions::RemoveFile(const std::string& path) { return RemoveFileEvenReadOnly(path); }

bool TJournalActions::RestoreFile(const std::string& backup, const std::string& path) {
  if (!CopyFileReplacing(backup, path)) return false;
  RemoveFile(backup);
  return true;
}

bool TJournalActions::RemoveFolderIfEmpty(const std::string& path) {
  return setup::RemoveFolderIfEmpty(path);
}

bool TJournalActions::RemoveUninstallEntry(const std::string& root, const std::string& key) {
  return shell_.RemoveUninstallEntry(root, key);
}

bool TJournalActions::FileUnchanged(const std::string& path, int64_t size, uint32_t crc) {
  if (size < 0 || zf::os::FileSize(path) != size) return false;
  const auto actual = FileCrc32(path);
  return actual && *actual == crc;
}

std::optional<uint32_t> FileCrc32(const std::string& path) {
  zf::os::File file;
  if (!file.Open(path, zf::os::OpenMode::ReadOnlyDenyNone)) return std::nullopt;
  std::vector<char> buffer(1 << 16);
  uint32_t crc = 0xFFFFFFFFu;
  for (;;) {
    const int64_t got = file.Read(buffer.data(), static_cast<int64_t>(buffer.size()));
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    zf::CRC32UpdateVar(buffer.data(), static_cast<int32_t>(got), crc);
  }
  return ~crc;
}

}  // namespace setup
