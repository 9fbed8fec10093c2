// What the wizard's controller asks of its window.
//
// The controller (TaForm, Unit1.h) owns the wizard's state and decisions;
// the window only shows what it is told and reports clicks by calling the
// controller's handlers. Every text crossing this interface is UTF-8: the
// Windows window converts it to UTF-16 and shows it through the wide API,
// so the texts read correctly whatever the machine's ANSI code page is. Paths handed to the window (the picture) are UTF-8 as well.
//
// Tests run the controller against a fake of this interface.
#pragma once

#include <string>

#include "wizard/WizardTexts.h"

namespace setup {

// The form's members whose captions change at run time, by designer name.
enum class TaFormLabel {
  Label2,  // header band: product name
  Label3,  // welcome page: product comment
  Label4,  // welcome page: the web link (address without scheme)
  Label7,  // install page: product name
  Label8,  // install page: current file, then the registration text
  Label13,  // folder page: the space the install needs
  Label14,  // folder page: the free space of the folder's drive
};

// The three buttons of the bottom band, by designer name.
enum class TaFormButton {
  Button1,  // "Дальше >>" / "Выход", default button
  Button2,  // "<< Назад"
  Button3,  // "Отмена", cancel button
};

// The choices a package may offer, by designer name. Each is hidden until
// the controller shows it: a package that offers none shows the form as
// it always was.
enum class TaFormChoice {
  RadioButton1,  // folder page: for all users
  RadioButton2,  // folder page: just for me
  CheckBox1,     // folder page: a desktop shortcut
  CheckBox2,     // final page: launch the program (caption set at run time)
};

class IWizardView {
 public:
  virtual ~IWizardView() = default;

  // The language of the window: every design caption and the title of its
  // boxes from this table, every label fitted to its new text. The
  // captions the controller sets itself are left alone.
  virtual void SetTexts(const TWizardTexts& texts) = 0;

  // Window caption.
  virtual void SetCaption(const std::string& text) = 0;
  // Caption of one label.
  virtual void SetLabelCaption(TaFormLabel label, const std::string& text) = 0;
  // Tool tip of the web link (Label4).
  virtual void SetLinkHint(const std::string& text) = 0;

  // Text of the install-folder field Edit1 (the user may have typed in it).
  virtual std::string Edit1Text() const = 0;
  virtual void SetEdit1Text(const std::string& text) = 0;

  // Page of the page container Notebook1, 0 to 3. The controller never asks
  // for an index outside that range.
  virtual void ShowPage(int index) = 0;
  virtual int CurrentPage() const = 0;

  virtual void SetButtonEnabled(TaFormButton button, bool enabled) = 0;
  virtual void SetButtonCaption(TaFormButton button, const std::string& text) = 0;

  // A choice shown on its page (or hidden), its caption (the design one
  // when empty), and its state; the user changes the state by clicking,
  // a click on a radio button calls TaForm::RadioButtonClick.
  virtual void ShowChoice(TaFormChoice choice, bool shown, const std::string& caption) = 0;
  virtual void SetChoiceChecked(TaFormChoice choice, bool checked) = 0;
  virtual bool ChoiceChecked(TaFormChoice choice) const = 0;

  // Position of ProgressBar1, 0 to 100.
  virtual void SetProgress(int position) = 0;

  // Loads a bitmap file into Image1, replacing the design picture; throws
  // zf::Exception("Bitmap image is not valid") when the file is no bitmap
  // (the picture shown stays as it was).
  virtual void LoadPicture(const std::string& path) = 0;

  // Lets the window process pending messages (repaint, clicks on "Отмена").
  virtual void ProcessMessages() = 0;

  // Closes the main window: the program ends once control is back in the
  // message loop.
  virtual void Close() = 0;

  // Shows an error that escaped a handler: a message box titled with the
  // table's appTitle, with the error icon and this text, already completed
  // by ErrorBoxText (ErrorBox.h).
  virtual void ShowErrorBox(const std::string& text) = 0;

  // Asks a question with the buttons Yes and No (Yes the default one),
  // titled like the error box; true for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;

  // The package's digest is being checked, `percent` of it done (before
  // the form is shown). A window of its own shows this once the check has
  // taken a second, so a quick check shows nothing; a view without windows
  // shows nothing at all.
  virtual void ShowCheckProgress(int percent) { (void)percent; }
  // The check has ended: its window, if any, goes.
  virtual void EndCheckProgress() {}
};

}  // namespace setup
