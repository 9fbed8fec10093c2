// The wizard's form: TaForm, the controller behind the setup window.
//
// TaForm holds the wizard's state (the package, the page, the buttons) and
// its handlers, named after the form's members. It drives the archive
// component ZipArchiver1, which it owns, and talks to the window through
// IWizardView and to the system through IShellServices, so it is portable
// and runs in native tests against fakes.
//
// Start-up (FormCreate): the package is the program's path with its last
// three characters replaced by "stp". Its configuration NAME.ins and the
// picture "iconsetup.bmp" are extracted into a private temporary folder
// (never next to the program, which may be on read-only media), read, and
// the folder is removed again, whether reading succeeded or not. The
// configuration is INI text in code page 1251 unless it begins with a UTF-8
// byte-order mark (IniFile.h).
//
// Install (second "Дальше >>"): every entry goes into the chosen folder, a
// Start-menu group named after the package gets a shortcut for each program,
// help file and readme, the configuration copies are deleted from the
// install folder and the final page shows.
//
// Closing ("Отмена", Esc, the close box) while the install runs is recorded
// and honoured when the install sequence has finished, so a half-made
// installation is never left behind by a click.
//
// Handlers catch nothing; the window runs each through RunHandler, which
// shows an escaping error in the "Setup" error box, as the application's
// default handler does.
#pragma once

#include <functional>
#include <string>

#include "archive/ZFArchiver.h"
#include "wizard/ShellServices.h"
#include "wizard/WizardView.h"

namespace setup {

class TaForm {
 public:
  TaForm(IWizardView& view, IShellServices& shell);
  TaForm(const TaForm&) = delete;
  TaForm& operator=(const TaForm&) = delete;

  // ---- handlers ----
  void FormCreate();
  void Button1Click();  // "Дальше >>" / "Выход"
  void Button2Click();  // "<< Назад"
  void Button3Click();  // "Отмена" (and Esc)
  void Button4Click();  // "Обзор..."
  void Label4Click();   // the web link
  void ZipArchiver1FileProgress(zf::TZFBaseArchiver* Sender, const std::string& FileName,
                                double Progress, zf::TZFProcessOperation Operation,
                                zf::TZFProgressPhase ProgressPhase, bool& Cancel);
  void ZipArchiver1OverallProgress(zf::TZFBaseArchiver* Sender, double Progress,
                                   zf::TZFProcessOperation Operation,
                                   zf::TZFProgressPhase ProgressPhase, bool& Cancel);

  // The window's close box: ends the program, or, while the install runs,
  // once it has finished.
  void RequestClose();

  // Runs one handler as the application's message loop does: an exception
  // escaping it is shown in the error box and goes no further.
  void RunHandler(const std::function<void()>& handler);

  // ---- state ----
  const std::string& PackagePath() const { return packagePath_; }
  const std::string& PackageName() const { return packageName_; }
  // PackageName without its last four characters ("setup").
  std::string BaseName() const;
  // PackageName with "ins" for its last three characters ("setup.ins").
  std::string ConfigFileName() const;
  bool Installing() const { return installing_; }
  bool CloseRequested() const { return closeRequested_; }

  // The archive component, with the form's design settings.
  zf::TZipArchiver ZipArchiver1;

 private:
  void ShowPage(int index);
  void InstallSequence();
  void ReadConfiguration(const std::string& configPath);

  IWizardView& view_;
  IShellServices& shell_;
  std::string packagePath_;
  std::string packageName_;
  std::string webCaption_;  // Label4's caption, UTF-8
  bool button1IsExit_ = false;  // Button1 reads "Выход"
  bool installing_ = false;
  bool closeRequested_ = false;
};

}  // namespace setup
