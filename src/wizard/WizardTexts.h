// Every text of the wizard and of its uninstaller that people read, in
// one table per language, written as UTF-8. The window shows them through
// the wide API, so they read correctly whatever the machine's ANSI code
// page is.
//
// A field is one text in both tables; a new text is a new field and a line
// in each table (WizardTexts.cpp). "%s" marks where a value goes
// (zf::FormatText). Which table a run uses is decided in Languages.h.
#pragma once

#include <string_view>

namespace setup {

enum class Language { Russian, English };

struct TWizardTexts {
  Language language;
  std::string_view code;  // "ru", "en": the value of /LANG= and of the journal

  // Title of the application and of its error boxes and questions; also
  // the form's design caption until start-up replaces it.
  std::string_view appTitle;

  // Design captions of the form.
  std::string_view label1;         // header band, above the product name
  std::string_view label11;        // welcome page: close other programs
  std::string_view label3Loading;  // welcome page, until the comment arrives
  std::string_view label5;         // folder page, bold
  std::string_view label12;        // above the folder field
  std::string_view edit1Design;
  std::string_view button4;        // the folder dialog's button
  std::string_view label6;         // install page, bold
  std::string_view label9;         // final page, bold
  std::string_view label10;        // final page: how to close the wizard

  // Buttons of the bottom band; `exit` is Button1 on the final page.
  std::string_view next, back, cancel, exit;

  // Choices a package may ask for: on the folder page the desktop
  // shortcut and, for a package that installs either way, who it is for;
  // on the final page starting the program (takes the product's name).
  std::string_view desktopShortcut;
  std::string_view forAllUsers, forMeOnly;
  std::string_view launchProgram;

  // Set at run time: the window caption before the package's base name,
  // and the install page's line once the files are in place.
  std::string_view captionPrefix;
  std::string_view registering;

  // Title of the folder dialog.
  std::string_view browseTitle;

  // The private temporary folder for the configuration could not be made.
  std::string_view noTempFolder;

  // The package's digest does not match (its bytes are not the ones
  // shipped): setup ends before any page.
  std::string_view packageCorrupt;
  // The small window of a digest check that takes more than a second.
  std::string_view checkingPackage;
  // A newer version of the product is installed; the versions installed
  // and offered take the two %s.
  std::string_view downgradeQuestion;

  // The question of "Отмена" (Esc, the close box) while the install runs.
  std::string_view cancelQuestion;

  // The two lines under the folder field, each followed by a size; the
  // free space of a drive that cannot be asked is unknown. Next with too
  // little space: notEnoughSpace, the two sizes, the advice.
  std::string_view spaceNeeded, spaceFree, spaceUnknown;
  std::string_view notEnoughSpace, notEnoughSpaceAdvice;
  // Sizes: "512 байт", "12,4 КБ" (one decimal after the separator).
  std::string_view bytes, kib, mib, gib, tib, decimalSeparator;

  // Setup cannot start; each is followed by ": "name"." when it has one.
  std::string_view packageMissing;
  std::string_view badSwitch;
  // The package installs only for all users (refuses /CURRENTUSER), or
  // only for the user who runs it (refuses /ALLUSERS).
  std::string_view allUsersOnly, currentUserOnly;
  // The copy of the program with administrator rights could not be
  // started (followed by the system's reason).
  std::string_view elevationFailed;
  // The installed program could not be started from the final page.
  std::string_view launchFailed;

  // Causes of a failed install (InstallErrors.h), each followed by the
  // entry or file and, on the next line, the engine's own message.
  std::string_view causeNoSpace, causeAccessDenied, causeDamaged, causeWrongPassword,
      causeCannotWrite, causeOther;
  // A file the install would replace could not be saved for the rollback.
  std::string_view causeBackupFailed;

  // The uninstaller: the title of its boxes; the question and the two
  // reports take the product's name, the last one its folder.
  std::string_view uninstallTitle;
  std::string_view uninstallQuestion, uninstallDone, uninstallKept;
  // No journal beside the uninstaller; followed by ": "path"."
  std::string_view nothingToUninstall;

  // The /? boxes of setup.exe and of uninstall.exe.
  std::string_view setupUsage, uninstallerUsage;
};

// The table of a language.
const TWizardTexts& TextsFor(Language language);

}  // namespace setup
