// Undoing journal records: the rollback of a failed or cancelled install,
// and the removal of an installed product.
//
// Both walk the records backwards, so a file goes before its folder and a
// shortcut before its group:
// - rollback (this run's records): a created file or shortcut is deleted,
//   a replaced or removed one gets its backup back, a created folder or
//   group goes when it is empty, a created registry key is deleted;
// - uninstall (the product's records): a file is deleted only while it is
//   still the file that was installed (same size and CRC-32), so what the
//   user changed stays; shortcuts are deleted, folders and the group go
//   when they are empty, the registry key is deleted.
// Nothing here stops at a failure: every record is tried, and what could
// not be undone is reported.
//
// The steps go through IJournalActions: TJournalActions does them on the
// real file system and registry, tests give a recording fake.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "wizard/InstallJournal.h"

namespace setup {

class IShellServices;

class IJournalActions {
 public:
  virtual ~IJournalActions() = default;
  // Deletes a file, read-only or not; true when it is gone.
  virtual bool RemoveFile(const std::string& path) = 0;
  // Puts the backup copy back in place of path and deletes the copy.
  virtual bool RestoreFile(const std::string& backup, const std::string& path) = 0;
  // Removes a folder that holds nothing; true when it is gone.
  virtual bool RemoveFolderIfEmpty(const std::string& path) = 0;
  virtual bool RemoveUninstallEntry(const std::string& root, const std::string& key) = 0;
  // The file is there with this size and CRC-32.
  virtual bool FileUnchanged(const std::string& path, int64_t size, uint32_t crc) = 0;
};

// What one undone record came to, for the log: a line of English text, and
// whether it is a failure or a kept file.
using UndoReport = std::function<void(const std::string& line)>;

// Undoes this run's records; the number of records that could not be
// undone.
int RollBack(const std::vector<TJournalRecord>& records, IJournalActions& actions,
             const UndoReport& report);

// Removes the product's records, except those of `skip` (the uninstaller's
// own files, removed last by other means). The number of files kept
// because they changed, and folders kept because they hold something else
// than those own files, in `kept`.
void Uninstall(const std::vector<TJournalRecord>& records, const std::vector<std::string>& skip,
               IJournalActions& actions, const UndoReport& report, int& kept);

// The real steps: files and folders through the platform layer, the
// registry through the shell services.
class TJournalActions : public IJournalActions {
 public:
  explicit TJournalActions(IShellServices& shell) : shell_(shell) {}
  bool RemoveFile(const std::string& path) override;
  bool RestoreFile(const std::string& backup, const std::string& path) override;
  bool RemoveFolderIfEmpty(const std::string& path) override;
  bool RemoveUninstallEntry(const std::string& root, const std::string& key) override;
  bool FileUnchanged(const std::string& path, int64_t size, uint32_t crc) override;

 private:
  IShellServices& shell_;
};

// CRC-32 of a file's bytes; nothing when it cannot be read.
std::optional<uint32_t> FileCrc32(const std::string& path);

}  // namespace setup
