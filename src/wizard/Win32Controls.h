// The setup window's layout: every child control of the form by designer
// name, with its class, page, place, style, look and design text, in one
// table; the form's fonts; UTF-8 to UTF-16 and back for the wide API.
//
// The window (Win32Window.cpp) creates the controls from the table and
// knows nothing of coordinates itself. Coordinates are pixels of the
// client area (506 x 319) at 96 DPI, which the window scales to its own
// DPI (Win32Dpi.h); a control on a page gives them inside the page, which
// sits at kNotebookTop. Not here: the white band, the bevels and the
// picture, which the window paints (Win32Picture.h for the picture).
// Windows only.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "wizard/Win32Text.h"
#include "wizard/WizardTexts.h"

namespace setup::win32 {

// ---- the form's geometry -----------------------------------------------------
inline constexpr int kClientWidth = 506;
inline constexpr int kClientHeight = 319;
inline constexpr int kBandHeight = 83;     // Panel1, white, aligned top
inline constexpr int kBevel1Top = 83;      // Bevel1: a top line under the band
inline constexpr int kBottomBandHeight = 55;  // Bevel2: its top line starts the button band
inline constexpr int kNotebookTop = 85;    // Notebook1: 0, 85, 506 x 179
inline constexpr int kNotebookHeight = 179;
inline constexpr RECT kImage1Rect = {11, 10, 11 + 64, 10 + 64};  // the picture box
inline constexpr int kPageCount = 4;
inline constexpr int kAllPages = -1;  // a control outside Notebook1

// ---- the controls ------------------------------------------------------------

// Child controls by designer name; the value is also the control id, so
// Button1 and Button3 carry the dialog ids that Enter and Esc send.
enum class Control : int {
  Button1 = IDOK,      // "Дальше >>" / "Выход", default button
  Button3 = IDCANCEL,  // "Отмена", cancel button
  Button2 = 100,       // "<< Назад"
  Button4,             // "Обзор..."
  Edit1,
  ProgressBar1,
  Label1, Label2, Label3, Label4, Label5, Label6,
  Label7, Label8, Label9, Label10, Label11, Label12,
  Label13, Label14,  // page 1: the space needed and the space free
  // The choices a package may offer (hidden unless it does).
  RadioButton1, RadioButton2,  // page 1: for all users, just for me
  CheckBox1,                   // page 1: a desktop shortcut
  CheckBox2,                   // page 3: launch the program
};

// A control that shows only when the package offers it.
inline bool IsChoice(Control c) {
  return c == Control::RadioButton1 || c == Control::RadioButton2 || c == Control::CheckBox1 ||
         c == Control::CheckBox2;
}

enum class Look {
  Plain,
  Bold,
  Link,  // blue, underlined, hand cursor
};

struct ControlSpec {
  Control id;
  const wchar_t* windowClass;
  int page;             // 0-3, or kAllPages
  int x, y, w, h;       // a label's height follows its caption (wrapped at w);
                        // w == 0: one line, its width too (a check box's and
                        // a radio button's with their box)
  DWORD style;          // besides WS_CHILD
  Look look;
  bool onBand;          // drawn on the white band
  // Design caption in the window's language (nullptr: none).
  std::string_view TWizardTexts::*text;
};

// The form's controls, in tab order.
const ControlSpec* ControlTable(size_t& count);
const ControlSpec& SpecOf(Control id);

inline int ControlId(Control c) { return static_cast<int>(c); }

// ---- fonts -------------------------------------------------------------------

// The form's font "MS Sans Serif", height -11 at 96 DPI (8 pt), asked for
// with the Cyrillic character set: the texts may be Russian, and on a
// machine whose ANSI code page is not 1251 the default set would pick a
// face without Cyrillic letters. Where the system has no Cyrillic "MS Sans
// Serif" the fonts are Tahoma of the same height, close in width. At
// another DPI they are Tahoma of the scaled height, so the text is drawn
// at that DPI, not stretched.
struct FormFonts {
  HFONT plain = nullptr;
  HFONT bold = nullptr;
  HFONT link = nullptr;  // underlined
  void Create(UINT dpi);
  void Destroy();
  HFONT For(Look look) const;
};

// ---- text --------------------------------------------------------------------

// The text of a window, as UTF-8.
std::string WindowTextUtf8(HWND window);

// Size of a caption in the window's font, in pixels: one line, or, with a
// wrap width, the lines it breaks into at word ends within that width.
SIZE CaptionSize(HWND window, const std::wstring& text, int wrapWidth = 0);

}  // namespace setup::win32
