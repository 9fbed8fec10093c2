// The setup window's control table, its fonts and the UTF-8/UTF-16 text
// helpers.
#include "wizard/Win32Controls.h"

#include <commctrl.h>

#include <iterator>

#include "wizard/Win32Dpi.h"
#include "wizard/WizardTexts.h"

namespace setup::win32 {
namespace {

using C = Control;
using T = TWizardTexts;
constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;
constexpr DWORD kWrapLabel = SS_LEFT | SS_NOPREFIX;  // SS_LEFT wraps at word ends
// BS_NOTIFY: a button tells when it gets and loses the focus, so the
// default frame can follow the focus as in a dialog.
constexpr DWORD kButton = BS_PUSHBUTTON | BS_NOTIFY | WS_TABSTOP;
constexpr DWORD kCheckBox = BS_AUTOCHECKBOX | WS_TABSTOP;

// Creation order is tab order: the page's own fields, then the buttons of
// the bottom band.
const ControlSpec kControls[] = {
    // Page 1: for whom (a package that installs either way), the install
    // folder, the desktop shortcut (a package that asks for one).
    {C::RadioButton1, L"BUTTON", 1, 24, 44, 0, 17, BS_AUTORADIOBUTTON | WS_TABSTOP | WS_GROUP,
     Look::Plain, false, &T::forAllUsers},
    {C::RadioButton2, L"BUTTON", 1, 230, 44, 0, 17, BS_AUTORADIOBUTTON, Look::Plain, false,
     &T::forMeOnly},
    {C::Edit1, L"EDIT", 1, 24, 88, 297, 21, WS_BORDER | WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL,
     Look::Plain, false, &T::edit1Design},
    {C::Button4, L"BUTTON", 1, 330, 87, 73, 25, kButton, Look::Plain, false, &T::button4},
    {C::CheckBox1, L"BUTTON", 1, 24, 157, 0, 17, kCheckBox, Look::Plain, false,
     &T::desktopShortcut},
    // Page 3: launch the program (its caption names the product).
    {C::CheckBox2, L"BUTTON", 3, 24, 66, 0, 17, kCheckBox, Look::Plain, false, nullptr},
    // The bottom band.
    {C::Button1, L"BUTTON", kAllPages, 401, 280, 81, 25, kButton | BS_DEFPUSHBUTTON, Look::Plain,
     false, &T::next},
    {C::Button2, L"BUTTON", kAllPages, 306, 280, 81, 25, kButton | WS_DISABLED, Look::Plain, false,
     &T::back},
    {C::Button3, L"BUTTON", kAllPages, 24, 280, 81, 25, kButton, Look::Plain, false,
     &T::cancel},
    // The white band.
    {C::Label1, L"STATIC", kAllPages, 91, 23, 0, 0, kLabel, Look::Bold, true, &T::label1},
    {C::Label2, L"STATIC", kAllPages, 91, 43, 0, 0, kLabel, Look::Plain, true, nullptr},
    // Page 0: welcome.
    {C::Label11, L"STATIC", 0, 24, 24, 385, 33, kWrapLabel, Look::Plain, false, &T::label11},
    {C::Label3, L"STATIC", 0, 24, 72, 313, 61, kWrapLabel, Look::Plain, false,
     &T::label3Loading},
    // SS_NOTIFY: the link takes clicks and the hand cursor.
    {C::Label4, L"STATIC", 0, 24, 144, 0, 0, kLabel | SS_NOTIFY, Look::Link, false, nullptr},
    // Page 1.
    {C::Label5, L"STATIC", 1, 24, 24, 0, 0, kLabel, Look::Bold, false, &T::label5},
    {C::Label12, L"STATIC", 1, 24, 69, 0, 0, kLabel, Look::Plain, false, &T::label12},
    // Under the folder field: the space needed and the free space.
    {C::Label13, L"STATIC", 1, 24, 122, 0, 0, kLabel, Look::Plain, false, nullptr},
    {C::Label14, L"STATIC", 1, 24, 138, 0, 0, kLabel, Look::Plain, false, nullptr},
    // Page 2: installing.
    {C::Label6, L"STATIC", 2, 24, 16, 0, 0, kLabel, Look::Bold, false, &T::label6},
    {C::Label7, L"STATIC", 2, 24, 40, 0, 0, kLabel, Look::Plain, false, nullptr},
    {C::Label8, L"STATIC", 2, 24, 74, 0, 0, kLabel, Look::Plain, false, nullptr},
    {C::ProgressBar1, PROGRESS_CLASSW, 2, 24, 96, 460, 17, PBS_SMOOTH, Look::Plain, false, nullptr},
    // Page 3: finished.
    {C::Label9, L"STATIC", 3, 24, 16, 0, 0, kLabel, Look::Bold, false, &T::label9},
    {C::Label10, L"STATIC", 3, 24, 40, 0, 0, kLabel, Look::Plain, false, &T::label10},
};

constexpr wchar_t kFormFace[] = L"MS Sans Serif";
// The dialog face of the systems since XP; it has Cyrillic letters.
constexpr wchar_t kFallbackFace[] = L"Tahoma";

// The form's font height at 96 DPI.
constexpr int kFontHeight = -11;

HFONT MakeFont(const wchar_t* face, int height, int weight, bool underline) {
  LOGFONTW font = {};
  font.lfHeight = height;
  font.lfWeight = weight;
  font.lfUnderline = underline ? TRUE : FALSE;
  font.lfCharSet = RUSSIAN_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
  lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

// The form's face when the system has it with Cyrillic letters, else the
// fallback: where "MS Sans Serif" exists only for Western languages, the
// font mapper would pick any face with Cyrillic letters, often a much wider
// one, and the form's fixed-size labels would cut their texts. Above 96
// DPI always the fallback: "MS Sans Serif" is a bitmap face drawn for 96
// DPI, whose scaled stand-ins have no bold and space their letters apart.
const wchar_t* ChooseFace(UINT dpi) {
  if (dpi != kDesignDpi) return kFallbackFace;
  HFONT probe = MakeFont(kFormFace, kFontHeight, FW_NORMAL, false);
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, probe);
  wchar_t face[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, face);
  const bool cyrillic = GetTextCharset(dc) == RUSSIAN_CHARSET;
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  DeleteObject(probe);
  return cyrillic && lstrcmpiW(face, kFormFace) == 0 ? kFormFace : kFallbackFace;
}

}  // namespace

const ControlSpec* ControlTable(size_t& count) {
  count = std::size(kControls);
  return kControls;
}

const ControlSpec& SpecOf(Control id) {
  for (const ControlSpec& entry : kControls)
    if (entry.id == id) return entry;
  return kControls[0];  // every Control has a row; not reached
}

void FormFonts::Create(UINT dpi) {
  const wchar_t* face = ChooseFace(dpi);
  const int height = Scaled(kFontHeight, dpi);
  plain = MakeFont(face, height, FW_NORMAL, false);
  bold = MakeFont(face, height, FW_BOLD, false);
  link = MakeFont(face, height, FW_NORMAL, true);
}

void FormFonts::Destroy() {
  for (HFONT* font : {&plain, &bold, &link}) {
    if (*font) DeleteObject(*font);
    *font = nullptr;
  }
}

HFONT FormFonts::For(Look look) const {
  switch (look) {
    case Look::Bold: return bold;
    case Look::Link: return link;
    case Look::Plain: break;
  }
  return plain;
}

std::string WindowTextUtf8(HWND window) {
  const int len = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(len) + 1, L'\0');
  const int got = GetWindowTextW(window, text.data(), len + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return Narrow(text);
}

SIZE CaptionSize(HWND window, const std::wstring& text, int wrapWidth) {
  SIZE size = {0, 0};
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0)));
  if (text.empty()) {
    // An empty label keeps the height of one line.
    TEXTMETRICW metrics;
    GetTextMetricsW(dc, &metrics);
    size = {wrapWidth, metrics.tmHeight};
  } else if (wrapWidth > 0) {
    RECT box = {0, 0, wrapWidth, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_LEFT);
    size = {wrapWidth, box.bottom};
  } else {
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  }
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return size;
}

}  // namespace setup::win32
