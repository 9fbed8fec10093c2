// The setup window: the wizard's one form as a real Win32 window, the
// implementation of IWizardView that setup.exe runs with.
//
// It builds the form's controls from the layout table (Win32Controls.h) at
// their places in a fixed 506 x 319 client area, scaled to the monitor's
// DPI with the fonts (Win32Dpi.h) and laid out again when the DPI changes,
// paints the white band, the two bevel lines and the picture box itself,
// and shows one of the four pages of Notebook1 by showing that page's
// controls and hiding the others'. It decides nothing: every click, Enter, Esc and the close
// box go to the controller (TaForm) through TaForm::RunHandler, which shows
// an escaping error in the "Setup" box.
//
// Keyboard: the message loop hands messages to IsDialogMessage, so Tab
// moves between controls and Esc presses the cancel button Button3 while it
// is enabled. Enter acts on the focused button ("Обзор..." opens the
// folder dialog, "Отмена" cancels), and presses the default button Button1
// only where no button has the focus; the default frame follows the focus.
// Closing: Close() destroys the window, whose end posts the quit message
// that ends the message loop. Windows only.
#pragma once

#include <windows.h>

#include <set>
#include <string>

#include "wizard/Win32CheckWindow.h"
#include "wizard/Win32Controls.h"
#include "wizard/Win32Picture.h"
#include "wizard/WizardView.h"

namespace setup {

class TaForm;

class Win32Window : public IWizardView {
 public:
  explicit Win32Window(HINSTANCE instance);
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;
  ~Win32Window() override;

  // Creates the window, hidden, centred on the desktop, with all controls
  // and page 0 showing. Throws zf::Exception when the system refuses.
  void Create();
  // The controller that receives the window's events.
  void AttachController(TaForm* form) { form_ = form; }
  void Show(int showCommand);
  HWND Handle() const { return window_; }

  // Runs the message loop until the window has been destroyed; returns the
  // quit message's exit code.
  int RunMessageLoop();

  // ---- IWizardView ----
  void SetTexts(const TWizardTexts& texts) override;
  void SetCaption(const std::string& text) override;
  void SetLabelCaption(TaFormLabel label, const std::string& text) override;
  void SetLinkHint(const std::string& text) override;
  std::string Edit1Text() const override;
  void SetEdit1Text(const std::string& text) override;
  void ShowPage(int index) override;
  int CurrentPage() const override { return page_; }
  void SetButtonEnabled(TaFormButton button, bool enabled) override;
  void SetButtonCaption(TaFormButton button, const std::string& text) override;
  void SetProgress(int position) override;
  void ShowChoice(TaFormChoice choice, bool shown, const std::string& caption) override;
  void SetChoiceChecked(TaFormChoice choice, bool checked) override;
  bool ChoiceChecked(TaFormChoice choice) const override;
  void LoadPicture(const std::string& path) override;
  void ProcessMessages() override;
  void Close() override;
  void ShowErrorBox(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  void ShowCheckProgress(int percent) override { checkWindow_.Progress(percent, *texts_); }
  void EndCheckProgress() override { checkWindow_.End(); }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // Message handlers.
  void OnCreate();
  void OnCommand(int id, int notification);
  void OnPaint();
  void OnEraseBackground(HDC dc);
  LRESULT OnControlColor(HDC dc, HWND control);
  bool OnSetCursor(HWND under);
  void OnActivate(bool active);
  void OnClose();
  void OnDestroy();

  // Runs a controller handler with the error-box rule.
  template <typename Handler>
  void Dispatch(Handler handler);
  // Hands one message to the keyboard handling or its window.
  void Translate(MSG& message);

  HWND Item(win32::Control control) const;
  void CreateControls();
  // Places, sizes and fonts every control at dpi_.
  void Layout();
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  void CreateToolTip();
  // Gives the tool tip hint_, active only when there is one.
  void ShowHint();
  void SetItemText(win32::Control control, const std::string& text);
  // A label takes the size of its caption (a wrapping one keeps its width).
  void FitLabel(win32::Control control);
  // Gives the default frame to the focused button (none: Button1).
  void MoveDefaultFrame(HWND focused);
  // Keeps the keyboard focus on a visible, enabled control.
  void RehomeFocus();

  HINSTANCE instance_;
  HWND window_ = nullptr;
  HWND toolTip_ = nullptr;
  HWND savedFocus_ = nullptr;
  TaForm* form_ = nullptr;
  // The language of the captions and boxes; Russian, the form's design
  // language, until the controller says.
  const TWizardTexts* texts_ = &TextsFor(Language::Russian);
  UINT dpi_ = 96;
  // The choices the package offers; the others stay hidden.
  std::set<win32::Control> offered_;
  win32::FormFonts fonts_;
  win32::Picture picture_;
  win32::CheckWindow checkWindow_{instance_};
  HBRUSH white_ = nullptr;
  std::wstring hint_;
  int page_ = 0;
  bool quit_ = false;
  int exitCode_ = 0;
};

}  // namespace setup
