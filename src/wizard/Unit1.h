// The wizard's form: TaForm, the controller behind the setup window.
//
// TaForm holds the wizard's state (the package, the page, the buttons) and
// its handlers, named after the form's members. It drives the archive
// component ZipArchiver1, which it owns, and talks to the window through
// IWizardView and to the system through IShellServices, so it is portable
// and runs in native tests against fakes.
//
// Start-up (FormCreate): the package is the program's path with its last
// three characters replaced by "stp", or, for a one-file setup, the part of
// the program's own file that its stamp names (PackageCheck.h); when it is
// missing or cannot be opened, setup cannot start (StartFailed, exit code
// 1). A program whose stamp carries the package's digest hashes the
// package first, before any page: a damaged or swapped package ends setup
// with "Файл установки повреждён..." and exit code 1; a good one stays open
// until setup ends, so that nobody can change it after the check. Its
// configuration NAME.ins and the picture "iconsetup.bmp" are extracted into
// a private temporary folder (never next to the program, which may be on
// read-only media), read, and the folder is removed again. The
// configuration is INI text in code page 1251 unless it begins with a UTF-8
// byte-order mark (IniFile.h). The package's entries are listed for the
// disk space the install needs, shown on page 1 with the free space of the
// folder's drive.
// The configuration's "languages" decide the wizard's language
// (Languages.h); its texts are then read in that language ("name.en" for
// English, the plain "name" when there is none).
//
// Versions and upgrades, for a package that names its product's id or
// version (mkstp --id, --version; others behave as before): the product's
// Add/Remove Programs entry, keyed by the id, tells whether and where it is
// installed. Its folder is offered (/DIR= wins); a newer version installed
// asks before it is replaced, and with boxes suppressed setup refuses (exit
// code 5). An install into that folder carries the earlier journal on,
// replaces the files through the journal like any install, and removes the
// earlier version's files and shortcuts that the new one no longer has,
// when they are unchanged since installed: a failed upgrade puts back the
// old version, its Add/Remove Programs values included.
//
// Install (second "Дальше >>", refused while the drive has too little
// space): every entry goes into the chosen folder, each step recorded in
// the install journal first, with a backup of each file it replaces
// (InstallRun.h). Then "Регистрация файлов...": a Start-menu group named
// after the package gets a shortcut for each program, help file and readme
// (not with /NOICONS); the wizard copies itself into the folder as
// uninstall.exe (a one-file setup installs the plain copy it carries
// instead: a copy of itself would carry the whole package), registers the
// product in Add/Remove Programs, waits 500 ms, saves the product's journal
// as uninstall.dat and shows the final page. The package's configuration
// copies are never written into the install folder.
//
// Cancel: "Отмена", Esc or the close box while the install runs asks
// "Прервать установку?". Yes stops after the current entry and undoes the
// run in reverse order (created files and folders removed, replaced files
// restored, shortcuts and group removed), then the window closes; No goes
// on. A failed install (a damaged package, a full disk, a refused access)
// is undone the same way and shows its cause (InstallErrors.h).
//
// What a package may offer besides (PackageFormat.h), each shown only when
// it asks: on page 1 a desktop shortcut for one of its programs (checked
// unless /NODESKTOP; recorded in the journal, removed by the uninstaller)
// and, for a package that installs either way, "for all users" or "just
// for me" (InstallScope.h); on the final page "Launch <name>" for one of
// its programs, checked, which starts it when "Выход" is pressed (a silent
// run starts it only with /RUN). A per-machine install without
// administrator rights hands over to a copy of the program started with
// them: at start-up the whole run (the copy shows the wizard), or, when
// "for all users" is chosen on page 1, the install itself (the copy shows
// its progress only, then this window its final page). The copy gets the
// choices as switches, and its exit code is this run's.
//
// Unattended runs (/SILENT, /VERYSILENT: InstallUnattended) skip the pages:
// the install starts at once into /DIR= or the default folder, and the
// window (if any) closes at the end. ExitCode tells how the run ended.
//
// Handlers catch nothing; the window runs each through RunHandler, which
// shows an escaping error in the "Setup" error box, as the application's
// default handler does.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/ZFArchiver.h"
#include "platform/platform.h"
#include "wizard/InstallErrors.h"
#include "wizard/InstallJournal.h"
#include "wizard/InstallScope.h"
#include "wizard/Languages.h"
#include "wizard/PackageContents.h"
#include "wizard/SetupLog.h"
#include "wizard/SetupOptions.h"
#include "wizard/ShellServices.h"
#include "wizard/WizardView.h"

namespace setup {

class TInstallRun;

class TaForm {
 public:
  TaForm(IWizardView& view, IShellServices& shell, TSetupOptions options = {});
  ~TaForm();
  TaForm(const TaForm&) = delete;
  TaForm& operator=(const TaForm&) = delete;

  // ---- handlers ----
  void FormCreate();
  void Button1Click();  // "Дальше >>" / "Выход"
  void Button2Click();  // "<< Назад"
  void Button3Click();  // "Отмена" (and Esc)
  void Button4Click();  // "Обзор..."
  void Label4Click();   // the web link
  void Edit1Change();   // the folder field's text changed
  void RadioButtonClick();  // "for all users" or "just for me" clicked
  void ZipArchiver1FileProgress(zf::TZFBaseArchiver* Sender, const std::string& FileName,
                                double Progress, zf::TZFProcessOperation Operation,
                                zf::TZFProgressPhase ProgressPhase, bool& Cancel);
  void ZipArchiver1OverallProgress(zf::TZFBaseArchiver* Sender, double Progress,
                                   zf::TZFProcessOperation Operation,
                                   zf::TZFProgressPhase ProgressPhase, bool& Cancel);
  void ZipArchiver1ConfirmProcessFile(zf::TZFBaseArchiver* Sender, const std::string& FileName,
                                      zf::TZFProcessOperation Operation, bool& Confirm);
  void ZipArchiver1ProcessFileFailure(zf::TZFBaseArchiver* Sender, const std::string& FileName,
                                      zf::TZFProcessOperation Operation, int32_t NativeError,
                                      int32_t ErrorCode, const std::string& ErrorMessage,
                                      zf::TZFAction& Action);
  void ZipArchiver1Password(zf::TZFBaseArchiver* Sender, const std::string& FileName,
                            std::string& NewPassword, bool& SkipFile);

  // The window's close box: ends the program, or, while the install runs,
  // asks whether to stop it.
  void RequestClose();

  // /SILENT and /VERYSILENT: after FormCreate, installs without the pages
  // and closes the window at the end.
  void InstallUnattended();

  // Runs one handler as the application's message loop does: an exception
  // escaping it is shown in the error box and goes no further.
  void RunHandler(const std::function<void()>& handler);

  // ---- state ----
  const std::string& PackagePath() const { return packagePath_; }
  const std::string& PackageName() const { return packageName_; }
  // PackageName without its last four characters ("setup").
  const std::string& BaseName() const { return baseName_; }
  // The product's id (the base name unless the package names one) and
  // version ("" when the package has none).
  const std::string& Id() const { return id_; }
  const std::string& Version() const { return version_; }
  // PackageName with "ins" for its last three characters ("setup.ins").
  std::string ConfigFileName() const;
  bool Installing() const { return installing_; }
  // The package could not be read, or a copy with administrator rights
  // made the whole run: the window is not to be shown.
  bool StartFailed() const { return startFailed_; }
  // Per-machine or per-user, once the package is read.
  InstallScope Scope() const { return scope_; }
  // How the program ends (SetupOptions.h).
  int ExitCode() const { return exitCode_; }
  // The texts the wizard speaks: the user's language until the package is
  // read, then the package's (Languages.h).
  const TWizardTexts& Texts() const { return *texts_; }
  // The space the install takes, and what the folder's drive has (-1:
  // unknown), as page 1 shows them.
  int64_t RequiredSpace() const { return requiredSpace_; }
  int64_t FreeSpace() const { return freeSpace_; }

  // The archive component, with the form's design settings.
  zf::TZipArchiver ZipArchiver1;

 private:
  struct Cancelled {};

  void ShowPage(int index);
  // Chooses the language among the package's and tells the window.
  void UseLanguages(TLanguageSet package);
  void CheckPackage();
  void ReadPackage(const std::string& tempDir);
  void ReadConfiguration(const std::string& configPath);
  void FindInstalledProduct();
  bool RefuseDowngrade();
  // The package's privileges against the switches and the mode of an
  // installed version; throws when a switch is refused.
  void ChooseInstallScope();
  std::string DefaultFolder(InstallScope scope);
  // The folder page's proposal for a scope (ANSI, no trailing separator).
  std::string ProposedFolder(InstallScope scope);
  // The mode of the installed version (all users when none).
  InstallScope InstalledScope() const;
  void ShowChoices();
  // Runs a copy with administrator rights with these switches and ends
  // with its exit code; false when it could not start (said in a box).
  bool HandOver(const std::vector<std::string>& switches);
  bool NeedsElevation() const;
  void InstallElevated();
  void ShowFinished();
  void Launch();
  void MakeDesktopShortcut(TInstallRun& run, const std::string& folder);
  // The product's name for people: the configuration's, else the base name.
  std::string DisplayName() const;
  void UpdateDiskSpace();
  bool EnoughSpace();
  std::string NotEnoughSpaceText() const;
  void InstallSequence();
  void RunInstall(TInstallRun& run, const std::string& folder);
  void ThrowIfStopped();
  void LoadPreviousJournal(TInstallRun& run, const std::string& folder);
  void RemoveObsolete(TInstallRun& run, const std::string& folder, JournalKind kind);
  void RestoreEarlierEntry();
  std::vector<std::string> MakeShortcuts(TInstallRun& run, const std::string& folder);
  void CopyUninstaller(TInstallRun& run, const std::string& folder);
  void RegisterProduct(TInstallRun& run, const std::string& folder, const std::string& icon);
  void SaveJournal(TInstallRun& run, const std::string& folder);
  void EndInstall(int exitCode);
  void ShowError(const std::string& text);
  bool Ask(const std::string& text);
  void Log(const std::string& line) { log_.Line(line); }

  IWizardView& view_;
  IShellServices& shell_;
  TSetupOptions options_;
  TSetupLog log_;
  const TWizardTexts* texts_ = nullptr;
  TPackageStamp stamp_;
  // The checked package, open so that nobody changes it until setup ends.
  zf::os::File packageHeld_;
  std::string packagePath_;
  std::string packageName_;
  std::string baseName_;
  std::string id_, version_;  // id ANSI, version ASCII
  bool upgradeAware_ = false;        // the package names its id or version
  bool packagedUninstaller_ = false;  // a one-file setup carrying uninstall.exe
  // The product installed already: its folder (with its separator),
  // version, the root of its entry ("HKLM": for all users, "HKCU": for the
  // user alone) and whether it made a desktop shortcut.
  struct Installed {
    std::string location;
    std::string version;
    std::string root;
    bool desktopLink = false;
  };
  std::optional<Installed> installed_;
  // The Add/Remove Programs entry this run overwrote, for a rollback.
  std::optional<TUninstallEntry> replacedEntry_;
  std::string webCaption_;  // Label4's caption, UTF-8
  std::string productName_, publisher_, web_;  // the configuration's values, UTF-8
  // The programs the package names for the final page and the desktop
  // (ANSI, inside the install folder; empty: not asked for).
  std::string runProgram_, desktopProgram_;
  std::string privilegesText_;  // the configuration's word
  Privileges privileges_ = Privileges::Admin;
  InstallScope scope_ = InstallScope::AllUsers;
  std::string installFolder_;  // ANSI, with its separator, once installed
  std::vector<TPackageEntry> entries_;
  int64_t requiredSpace_ = 0;
  int64_t freeSpace_ = -1;
  bool button1IsExit_ = false;  // Button1 reads "Выход"
  bool installing_ = false;
  bool startFailed_ = false;
  bool asking_ = false;            // the cancel question is showing
  bool cancelConfirmed_ = false;   // answered Yes: stop after the current entry
  std::optional<TInstallFailure> failure_;  // an entry failed
  TInstallRun* run_ = nullptr;     // while the install runs
  int exitCode_ = kExitCancelled;  // closing before the end is a cancel
};

}  // namespace setup
