// The uninstaller: uninstall.exe, the wizard's own copy in the install
// folder, which removes what the journal beside it (uninstall.dat) says
// was installed.
//
// It asks first (unless /SILENT or /VERYSILENT), then removes the files
// that are still as they were installed, the shortcuts, the group folder
// and the folders that are empty, the Add/Remove Programs entry and the
// journal; files the user added or changed stay, and so do their folders.
// The program cannot delete its own file while it runs: it leaves that,
// with the folders that only it keeps from being empty, to a copy of
// itself in the temporary folder (CleanUpFile and CleanUpFoldersTo tell
// the copy what to remove once this process has ended).
//
// It speaks the language the product was installed in, as the journal
// says (/LANG= chooses another; without a journal, the user's language).
//
// Exit codes: 0 removed, 2 the user said No, 4 nothing to uninstall (no
// journal, or one that does not belong to this folder).
#pragma once

#include <string>

#include "wizard/SetupLog.h"
#include "wizard/SetupOptions.h"
#include "wizard/WizardTexts.h"

namespace setup {

class IShellServices;

// The boxes the uninstaller shows (UTF-8 titles and texts).
class IUninstallerBoxes {
 public:
  virtual ~IUninstallerBoxes() = default;
  virtual bool AskYesNo(const std::string& title, const std::string& text) = 0;
  virtual void ShowMessage(const std::string& title, const std::string& text) = 0;
  virtual void ShowError(const std::string& title, const std::string& text) = 0;
};

class TUninstaller {
 public:
  TUninstaller(IShellServices& shell, IUninstallerBoxes& boxes, TSetupOptions options);
  // Uninstalls; the exit code.
  int Run();

  // What is left for the clean-up copy after a removal: the uninstaller's
  // own file, and the outermost folder (of the journal) to remove with its
  // empty folders on the way down to that file ("" for none).
  const std::string& CleanUpFile() const { return cleanUpFile_; }
  const std::string& CleanUpFoldersTo() const { return cleanUpFoldersTo_; }

 private:
  void Message(const std::string& text);
  void Error(const std::string& text);
  // The language: /LANG=, else `installed` (the journal's), else the
  // user's.
  void UseLanguage(const std::string& installed);

  IShellServices& shell_;
  IUninstallerBoxes& boxes_;
  TSetupOptions options_;
  TSetupLog log_;
  const TWizardTexts* texts_ = nullptr;
  std::string cleanUpFile_;
  std::string cleanUpFoldersTo_;
};

// The clean-up copy's work once the uninstaller has ended: deletes `file`
// (ANSI), then removes each empty folder from the file's folder up to and
// including `foldersTo` (when that is the folder or one above it).
void CleanUpAfterUninstall(const std::string& file, const std::string& foldersTo);

// The program's own file name says it is the uninstaller.
bool IsUninstallerPath(const std::string& exePath);

}  // namespace setup
