// One install run: what it makes goes into the journal before it is made,
// and a file it replaces is first copied into a private backup folder, so
// the run can be undone to the last byte until it is committed.
//
// The controller tells the run before each step: before the engine writes
// an entry (BeforeEntry, from the component's confirmation event), after
// the entry is complete (AfterEntry: its size and CRC-32 for the
// uninstaller), and before it writes a file of its own or a shortcut
// (PrepareFile, then Made... once it exists); an upgrade removes what the
// new version no longer has through it too (RemoveObsolete). Commit drops
// the backups; RollBack undoes the run (JournalUndo.h). The backup folder
// goes when the run ends, either way.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "wizard/InstallJournal.h"
#include "wizard/JournalUndo.h"
#include "wizard/PackageContents.h"

namespace setup {

class TSetupLog;

class TInstallRun {
 public:
  // `folder`: the install folder, with its trailing separator (ANSI).
  TInstallRun(std::string folder, const std::vector<TPackageEntry>& entries, TSetupLog& log);
  ~TInstallRun();
  TInstallRun(const TInstallRun&) = delete;
  TInstallRun& operator=(const TInstallRun&) = delete;

  // Makes the backup folder (`backupFolder`, from the shell's private
  // temporary folders) and the install folder with every missing parent,
  // each recorded. Throws when a folder cannot be made.
  void Begin(const std::string& backupFolder);

  // Before the engine writes entry `entryName` (the engine's name, either
  // separator): its missing folders are recorded, and the file, after a
  // backup when it replaces one. Throws EInstallFailed when the backup
  // cannot be made. A name that would leave the install folder is not
  // recorded (the engine refuses it).
  void BeforeEntry(const std::string& entryName);
  // The entry has been written: its fingerprint comes from the package.
  void AfterEntry(const std::string& entryName);

  // Before the run writes `path` itself: a backup when the file exists;
  // returns the backup's path ("" for none). Throws EInstallFailed when the
  // backup cannot be made.
  std::string PrepareFile(const std::string& path);
  // The file (or shortcut) now exists; `backup` from PrepareFile.
  void MadeFile(const std::string& path, const std::string& backup, JournalKind kind);

  // Removes a file (or shortcut) of an earlier install that this one no
  // longer has, after a backup, so a rollback puts it back. Throws
  // EInstallFailed when the backup or the removal fails.
  void RemoveObsolete(const std::string& path);

  // The folders missing on the way to `path` (outermost first), to be
  // recorded once they exist.
  static std::vector<std::string> MissingFolders(const std::string& path);

  TInstallJournal& Journal() { return journal_; }
  const std::string& Folder() const { return folder_; }

  // The run is complete: the backups are no longer needed.
  void Commit();
  // Undoes what the run made, newest first; the number of steps that
  // failed.
  int RollBack(IJournalActions& actions);

 private:
  std::string Backup(const std::string& path);

  std::string folder_;
  std::map<std::string, const TPackageEntry*> entries_;  // by name, "\" between folders
  TSetupLog& log_;
  std::string backupFolder_;
  int backups_ = 0;
  TInstallJournal journal_;
};

}  // namespace setup
