// The command line of setup.exe and of the uninstaller made from it, and
// the programs' exit codes.
//
// The switches are the ones people know from other installers: /SILENT
// (the progress window only, no questions), /VERYSILENT (no window at all),
// /SUPPRESSMSGBOXES (in a silent run every message box takes its default
// answer and no error box waits for a click), /DIR="path" (the install
// folder), /NOICONS (no Start-menu group), /LANG=ru|en (the wizard's
// language, when the package has it: Languages.h), /LOG="file" (a UTF-8
// log), /RUN (a silent install starts the program the package names for
// its final page), /DESKTOP and /NODESKTOP (the desktop shortcut a package
// offers, made or not), /ALLUSERS and /CURRENTUSER (for whom it installs:
// InstallScope.h) and /? (a usage box). /SP- and /NORESTART are taken and
// do nothing: package managers' manifests pass them to every installer of
// this kind (there is no "This will install..." question to skip, and
// setup never restarts the system). Names are compared ignoring case; the value of /DIR= and
// /LOG= is the rest of the argument, whose quotes the system's splitting
// (CommandLineToArgvW) has already removed, so /DIR="C:\My Prod" and
// "/DIR=C:\My Prod" mean the same.
//
// The uninstaller takes /SILENT, /VERYSILENT, /SUPPRESSMSGBOXES, /LANG=,
// /LOG= and /?. The copy either program starts with administrator rights
// gets the switches of the choices made so far (ElevatedSwitches) and
// kElevatedSwitch, which keeps it from asking for the rights again. Its copy in the temporary folder, which deletes the uninstaller once
// it has ended, is started with switches of its own (kCleanUp...) that no
// person types.
//
// Portable: the arguments arrive as UTF-8, already split.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wizard/InstallScope.h"
#include "wizard/WizardTexts.h"

namespace setup {

// What the programs end with.
enum ExitCode : int {
  kExitDone = 0,              // installed (or uninstalled), or the usage box
  kExitCannotStart = 1,       // package missing or damaged, a bad switch
  kExitCancelled = 2,         // cancelled by the user (rolled back)
  kExitFailed = 3,            // the install failed (rolled back)
  kExitNothingToUninstall = 4,
  kExitNewerInstalled = 5,    // a newer version is installed: no downgrade
};

struct TSetupOptions {
  bool silent = false;            // /SILENT
  bool verySilent = false;        // /VERYSILENT
  bool suppressMsgBoxes = false;  // /SUPPRESSMSGBOXES
  std::optional<std::string> dir;      // /DIR=, UTF-8
  bool noIcons = false;           // /NOICONS
  std::optional<Language> language;    // /LANG=
  std::optional<std::string> logFile;  // /LOG=, UTF-8
  bool help = false;              // /?
  bool run = false;               // /RUN
  std::optional<bool> desktop;    // /DESKTOP (true), /NODESKTOP (false)
  std::optional<InstallScope> scope;  // /ALLUSERS, /CURRENTUSER
  bool elevatedCopy = false;      // kElevatedSwitch

  // The uninstaller's clean-up copy: wait for process `cleanUpAfter` to
  // end, delete `cleanUpFile`, then remove the empty folders from its
  // folder up to and including `cleanUpFoldersTo` (none when empty).
  uint32_t cleanUpAfter = 0;
  std::string cleanUpFile;        // UTF-8
  std::string cleanUpFoldersTo;   // UTF-8

  // A run without the wizard's pages.
  bool Unattended() const { return silent || verySilent; }
  // Message boxes give way to their defaults: only in a silent run, as
  // people know it from other installers.
  bool SuppressBoxes() const { return suppressMsgBoxes && Unattended(); }
};

// Which program reads the switches: the two accept different sets.
enum class SwitchSet { Setup, Uninstaller };

// Reads the arguments (without the program's name). False with the
// offending argument in `bad` for an unknown switch, a switch without its
// value, or anything that is not a switch.
bool ParseSwitches(const std::vector<std::string>& args, SwitchSet set, TSetupOptions& options,
                   std::string& bad);

// The switches that give a copy of the program these options, the
// elevated copy's marker last.
std::vector<std::string> ElevatedSwitches(const TSetupOptions& options, SwitchSet set);

// The text of the usage box in the language of `texts` (UTF-8).
std::string UsageText(SwitchSet set, const TWizardTexts& texts);

// The internal switches of the clean-up copy, as the uninstaller passes
// them.
inline constexpr const char* kCleanUpAfterSwitch = "/ZF-CLEANUP-AFTER=";
inline constexpr const char* kCleanUpFileSwitch = "/ZF-CLEANUP-FILE=";
inline constexpr const char* kCleanUpFoldersSwitch = "/ZF-CLEANUP-FOLDERS-TO=";
// The copy started with administrator rights.
inline constexpr const char* kElevatedSwitch = "/ZF-ELEVATED";

}  // namespace setup
