// The setup window: creation, the one window procedure and its message
// handlers, and the view operations the controller calls.
#include "wizard/Win32Window.h"

#include <commctrl.h>

#include <algorithm>

#include "archive/ZFClasses.h"
#include "wizard/Unit1.h"
#include "wizard/Win32Dpi.h"
#include "wizard/Win32Resources.h"
#include "wizard/WizardTexts.h"

namespace setup {

using win32::Control;
using win32::ControlId;
using win32::Look;
using win32::Scaled;
using win32::SpecOf;
using win32::Widen;

namespace {

constexpr wchar_t kWindowClass[] = L"SetupWizardForm";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX |
                               WS_CLIPCHILDREN;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kLinkBlue = RGB(0, 0, 255);
// Beside a check box's or radio button's caption: the box and the gap
// after it, at 96 DPI.
constexpr int kCheckBoxRoom = 20;

Control LabelControl(TaFormLabel label) {
  switch (label) {
    case TaFormLabel::Label2: return Control::Label2;
    case TaFormLabel::Label3: return Control::Label3;
    case TaFormLabel::Label4: return Control::Label4;
    case TaFormLabel::Label7: return Control::Label7;
    case TaFormLabel::Label13: return Control::Label13;
    case TaFormLabel::Label14: return Control::Label14;
    case TaFormLabel::Label8: break;
  }
  return Control::Label8;
}

Control ChoiceControl(TaFormChoice choice) {
  switch (choice) {
    case TaFormChoice::RadioButton1: return Control::RadioButton1;
    case TaFormChoice::RadioButton2: return Control::RadioButton2;
    case TaFormChoice::CheckBox1: return Control::CheckBox1;
    case TaFormChoice::CheckBox2: break;
  }
  return Control::CheckBox2;
}

// A button's caption shows "&" as itself, not as the mark of a shortcut key.
std::string WithoutPrefixes(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '&') out += c;
  }
  return out;
}

Control ButtonControl(TaFormButton button) {
  switch (button) {
    case TaFormButton::Button1: return Control::Button1;
    case TaFormButton::Button2: return Control::Button2;
    case TaFormButton::Button3: break;
  }
  return Control::Button3;
}

// The window of the form's style around its client area at `dpi`, centred
// on the desktop's work area.
RECT CentredWindowRect(UINT dpi) {
  const RECT frame = win32::FrameAround(Scaled(win32::kClientWidth, dpi),
                                        Scaled(win32::kClientHeight, dpi), kWindowStyle, dpi);
  const int width = frame.right - frame.left, height = frame.bottom - frame.top;
  RECT work;
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
    work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  const int x = work.left + (work.right - work.left - width) / 2;
  const int y = work.top + (work.bottom - work.top - height) / 2;
  return {x, y, x + width, y + height};
}

// A control a click or the focus may go to: there, shown and enabled.
bool Usable(HWND control) {
  return control && IsWindowVisible(control) && IsWindowEnabled(control);
}

// One of the form's push buttons (not a check box or a radio button, on
// which Enter presses the default button, as in a dialog).
bool IsButton(HWND control) {
  if (!control) return false;
  wchar_t name[16] = {};
  GetClassNameW(control, name, 16);
  const LONG_PTR type = GetWindowLongPtrW(control, GWL_STYLE) & BS_TYPEMASK;
  return lstrcmpiW(name, L"Button") == 0 && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

// A check box or a radio button: sized to its caption with its box.
bool IsCheckOrRadio(const win32::ControlSpec& entry) {
  const DWORD type = entry.style & BS_TYPEMASK;
  return entry.windowClass == std::wstring_view(L"BUTTON") &&
         (type == BS_AUTOCHECKBOX || type == BS_AUTORADIOBUTTON);
}

// The link label's entry in the tool tip, carrying hint.
TTTOOLINFOW LinkTool(HWND window, HWND label, std::wstring& hint) {
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof tool;
  tool.hwnd = window;
  tool.uId = reinterpret_cast<UINT_PTR>(label);
  tool.lpszText = hint.data();
  return tool;
}

}  // namespace

Win32Window::Win32Window(HINSTANCE instance) : instance_(instance) {}

Win32Window::~Win32Window() {
  if (window_) DestroyWindow(window_);
  fonts_.Destroy();
  if (white_) DeleteObject(white_);
}

// ---- creation ---------------------------------------------------------------------

void Win32Window::Create() {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance_;
  windowClass.hIcon = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_SETUP),
                                                    IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                    GetSystemMetrics(SM_CYICON), 0));
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_SETUP),
                                                      IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), 0));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = nullptr;  // the band and the face are painted by the window
  windowClass.lpszClassName = kWindowClass;
  if (!RegisterClassExW(&windowClass)) throw zf::Exception("Cannot register the setup window");

  // Sized for the system's DPI, which is the DPI of the monitor the window
  // is centred on unless that one has its own; then WM_DPICHANGED follows.
  const RECT place = CentredWindowRect(win32::WindowDpi(nullptr));
  const std::wstring caption = Widen(texts_->appTitle);
  // The window procedure keeps `this` from WM_NCCREATE on.
  CreateWindowExW(0, kWindowClass, caption.c_str(), kWindowStyle, place.left, place.top,
                  place.right - place.left, place.bottom - place.top, nullptr, nullptr, instance_,
                  this);
  if (!window_) throw zf::Exception("Cannot create the setup window");
}

void Win32Window::OnCreate() {
  white_ = CreateSolidBrush(kWhite);
  dpi_ = win32::WindowDpi(window_);
  fonts_.Create(dpi_);
  picture_.LoadDesignPicture(instance_);
  picture_.SetDpi(dpi_);
  CreateControls();
  Layout();
  CreateToolTip();
  ShowPage(0);
}

void Win32Window::CreateControls() {
  size_t count = 0;
  const win32::ControlSpec* table = win32::ControlTable(count);
  for (size_t i = 0; i < count; ++i) {
    const win32::ControlSpec& entry = table[i];
    const DWORD exStyle = entry.id == Control::Edit1 ? WS_EX_CLIENTEDGE : 0;
    DWORD style = WS_CHILD | entry.style;
    if (entry.page == win32::kAllPages) style |= WS_VISIBLE;
    const std::string_view text = entry.text ? texts_->*entry.text : std::string_view();
    // Placed and sized by Layout, at the window's DPI.
    HWND control = CreateWindowExW(
        exStyle, entry.windowClass, Widen(text).c_str(), style, 0, 0, 0, 0, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(entry.id))), instance_, nullptr);
    if (!control) throw zf::Exception("Cannot create the controls of the setup window");
  }
  SendMessageW(Item(Control::ProgressBar1), PBM_SETRANGE32, 0, 100);
}

void Win32Window::Layout() {
  SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.plain), FALSE);
  size_t count = 0;
  const win32::ControlSpec* table = win32::ControlTable(count);
  for (size_t i = 0; i < count; ++i) {
    const win32::ControlSpec& entry = table[i];
    HWND control = Item(entry.id);
    const int top = entry.page == win32::kAllPages ? entry.y : win32::kNotebookTop + entry.y;
    SetWindowPos(control, nullptr, Scaled(entry.x, dpi_), Scaled(top, dpi_),
                 Scaled(entry.w, dpi_), Scaled(entry.h, dpi_), SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts_.For(entry.look)), FALSE);
    FitLabel(entry.id);
  }
  InvalidateRect(window_, nullptr, TRUE);
}

void Win32Window::OnDpiChanged(UINT dpi, const RECT& suggested) {
  if (dpi == dpi_) return;
  dpi_ = dpi;
  // The new fonts are in the controls before the old ones go.
  win32::FormFonts old = fonts_;
  fonts_ = {};
  fonts_.Create(dpi_);
  picture_.SetDpi(dpi_);
  Layout();
  old.Destroy();
  SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Window::CreateToolTip() {
  toolTip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                             instance_, nullptr);
  if (!toolTip_) return;  // the link works without its hint
  TTTOOLINFOW tool = LinkTool(window_, Item(Control::Label4), hint_);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  ShowHint();
}

void Win32Window::ShowHint() {
  TTTOOLINFOW tool = LinkTool(window_, Item(Control::Label4), hint_);
  SendMessageW(toolTip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  // A hint is shown only when there is one.
  SendMessageW(toolTip_, TTM_ACTIVATE, hint_.empty() ? FALSE : TRUE, 0);
}

void Win32Window::Show(int showCommand) {
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
  RehomeFocus();
}

// ---- the message loop -----------------------------------------------------------

void Win32Window::Translate(MSG& message) {
  // Enter acts on the button that has the focus, as in a dialog; only
  // elsewhere (the folder field) does it press the default button.
  if (window_ && message.message == WM_KEYDOWN && message.wParam == VK_RETURN) {
    HWND focus = GetFocus();
    if (IsChild(window_, focus) && IsButton(focus) && Usable(focus)) {
      SendMessageW(window_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                   reinterpret_cast<LPARAM>(focus));
      return;
    }
  }
  if (window_ && IsDialogMessageW(window_, &message)) return;
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

int Win32Window::RunMessageLoop() {
  MSG message;
  while (!quit_) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      exitCode_ = got == 0 ? static_cast<int>(message.wParam) : 1;
      break;
    }
    Translate(message);
  }
  return exitCode_;
}

void Win32Window::ProcessMessages() {
  MSG message;
  while (!quit_ && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Taken out of the queue here: the main loop ends on the flag.
      quit_ = true;
      exitCode_ = static_cast<int>(message.wParam);
      break;
    }
    Translate(message);
  }
}

// ---- the window procedure ---------------------------------------------------------

LRESULT CALLBACK Win32Window::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Win32Window* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT Win32Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      try {
        OnCreate();
      } catch (const std::exception&) {
        return -1;  // Create() reports it
      }
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case DM_GETDEFID:  // asked by IsDialogMessage for Enter
      return MAKELRESULT(ControlId(Control::Button1), DC_HASDEFID);
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_ERASEBKGND:
      OnEraseBackground(reinterpret_cast<HDC>(wParam));
      return 1;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_CTLCOLORSTATIC:
      return OnControlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SETCURSOR:
      if (OnSetCursor(reinterpret_cast<HWND>(wParam))) return TRUE;
      break;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE);
      return 0;
    case WM_SETFOCUS:
      RehomeFocus();
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_NCDESTROY: {
      HWND window = window_;
      window_ = nullptr;
      toolTip_ = nullptr;
      return DefWindowProcW(window, message, wParam, lParam);
    }
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

// ---- message handlers ---------------------------------------------------------------

template <typename Handler>
void Win32Window::Dispatch(Handler handler) {
  if (form_) form_->RunHandler([this, handler] { (form_->*handler)(); });
}

void Win32Window::OnCommand(int id, int notification) {
  const auto usable = [this](Control c) { return Usable(Item(c)); };
  if (notification == BN_SETFOCUS || notification == BN_KILLFOCUS) {
    MoveDefaultFrame(notification == BN_SETFOCUS ? Item(static_cast<Control>(id)) : nullptr);
    return;
  }
  switch (static_cast<Control>(id)) {
    case Control::Button1:  // a click or Enter
      if (notification == BN_CLICKED && usable(Control::Button1)) Dispatch(&TaForm::Button1Click);
      break;
    case Control::Button3:  // a click or Esc
      if (notification == BN_CLICKED && usable(Control::Button3)) Dispatch(&TaForm::Button3Click);
      break;
    case Control::Button2:
      if (notification == BN_CLICKED) Dispatch(&TaForm::Button2Click);
      break;
    case Control::Button4:
      if (notification == BN_CLICKED) Dispatch(&TaForm::Button4Click);
      break;
    case Control::Label4:
      if (notification == STN_CLICKED) Dispatch(&TaForm::Label4Click);
      break;
    case Control::Edit1:
      if (notification == EN_CHANGE) Dispatch(&TaForm::Edit1Change);
      break;
    case Control::RadioButton1:
    case Control::RadioButton2:
      if (notification == BN_CLICKED) Dispatch(&TaForm::RadioButtonClick);
      break;
    default:
      break;
  }
}

void Win32Window::OnEraseBackground(HDC dc) {
  RECT client;
  GetClientRect(window_, &client);
  const int bandHeight = Scaled(win32::kBandHeight, dpi_);
  RECT band = {0, 0, client.right, bandHeight};
  FillRect(dc, &band, white_);
  RECT face = {0, bandHeight, client.right, client.bottom};
  FillRect(dc, &face, GetSysColorBrush(COLOR_BTNFACE));
  // Bevel1 and Bevel2: a lowered line, shadow over highlight.
  const int bevel1Top = Scaled(win32::kBevel1Top, dpi_);
  RECT bevel1 = {0, bevel1Top, client.right, bevel1Top + 2};
  DrawEdge(dc, &bevel1, EDGE_ETCHED, BF_TOP);
  const int bevel2Top = client.bottom - Scaled(win32::kBottomBandHeight, dpi_);
  RECT bevel2 = {0, bevel2Top, client.right, bevel2Top + 2};
  DrawEdge(dc, &bevel2, EDGE_ETCHED, BF_TOP);
}

void Win32Window::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  picture_.Paint(dc, Scaled(win32::kImage1Rect, dpi_));
  EndPaint(window_, &paint);
}

LRESULT Win32Window::OnControlColor(HDC dc, HWND control) {
  const win32::ControlSpec& entry = SpecOf(static_cast<Control>(GetDlgCtrlID(control)));
  if (entry.look == Look::Link) SetTextColor(dc, kLinkBlue);
  if (entry.onBand) {
    SetBkColor(dc, kWhite);
    return reinterpret_cast<LRESULT>(white_);
  }
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

bool Win32Window::OnSetCursor(HWND under) {
  if (under != Item(Control::Label4)) return false;
  SetCursor(LoadCursorA(nullptr, IDC_HAND));
  return true;
}

void Win32Window::OnActivate(bool active) {
  // A plain window forgets its focused control when it loses activation.
  if (!active) {
    HWND focus = GetFocus();
    if (focus && IsChild(window_, focus)) savedFocus_ = focus;
  } else {
    RehomeFocus();
  }
}

void Win32Window::OnClose() {
  // The close box and Alt+F4: the controller decides when the end comes.
  if (form_)
    Dispatch(&TaForm::RequestClose);
  else
    Close();
}

void Win32Window::OnDestroy() {
  if (toolTip_) DestroyWindow(toolTip_);
  PostQuitMessage(0);
}

// ---- helpers --------------------------------------------------------------------------

HWND Win32Window::Item(Control control) const {
  return window_ ? GetDlgItem(window_, ControlId(control)) : nullptr;
}

void Win32Window::SetItemText(Control control, const std::string& text) {
  HWND item = Item(control);
  if (!item) return;
  SetWindowTextW(item, Widen(text).c_str());
  FitLabel(control);
}

void Win32Window::FitLabel(Control control) {
  const win32::ControlSpec& entry = SpecOf(control);
  HWND item = Item(control);
  // Labels size themselves to their captions, as the form's labels do;
  // a word-wrapping one keeps its width and grows or shrinks in height.
  // Check boxes and radio buttons take their caption's width and their box.
  const bool check = IsCheckOrRadio(entry);
  if (!item || (entry.windowClass != std::wstring_view(L"STATIC") && !check)) return;
  RECT old;
  GetWindowRect(item, &old);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&old), 2);
  const int len = GetWindowTextLengthW(item);
  std::wstring text(static_cast<size_t>(len) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(item, text.data(), len + 1)));
  SIZE size = win32::CaptionSize(item, text, Scaled(entry.w, dpi_));
  if (check) {
    size.cx += Scaled(kCheckBoxRoom, dpi_);
    size.cy = std::max<LONG>(size.cy, Scaled(entry.h, dpi_));
  }
  SetWindowPos(item, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // The part the old caption covered and the new one does not.
  InvalidateRect(window_, &old, TRUE);
}

void Win32Window::MoveDefaultFrame(HWND focused) {
  // The focused button wears the default frame; without one, Button1 does.
  HWND owner = focused ? focused : Item(Control::Button1);
  for (Control c : {Control::Button1, Control::Button2, Control::Button3, Control::Button4}) {
    HWND button = Item(c);
    if (!button) continue;
    const LONG_PTR style = button == owner ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    SendMessageW(button, BM_SETSTYLE, static_cast<WPARAM>(style), TRUE);
  }
}

void Win32Window::RehomeFocus() {
  if (!window_ || GetActiveWindow() != window_) return;
  HWND focus = GetFocus();
  if (focus && IsChild(window_, focus) && Usable(focus)) return;
  if (Usable(savedFocus_) && IsChild(window_, savedFocus_)) {
    SetFocus(savedFocus_);
    return;
  }
  for (Control c : {Control::Button1, Control::Button3, Control::Button2}) {
    if (Usable(Item(c))) {
      SetFocus(Item(c));
      return;
    }
  }
  SetFocus(window_);
}

// ---- IWizardView ------------------------------------------------------------------------

void Win32Window::SetTexts(const TWizardTexts& texts) {
  texts_ = &texts;
  size_t count = 0;
  const win32::ControlSpec* table = win32::ControlTable(count);
  for (size_t i = 0; i < count; ++i) {
    // The folder field's design text is no caption: it holds the folder.
    if (table[i].text && table[i].id != Control::Edit1)
      SetItemText(table[i].id, std::string(texts.*table[i].text));
  }
}

void Win32Window::SetCaption(const std::string& text) {
  if (window_) SetWindowTextW(window_, Widen(text).c_str());
}

void Win32Window::SetLabelCaption(TaFormLabel label, const std::string& text) {
  SetItemText(LabelControl(label), text);
}

void Win32Window::SetLinkHint(const std::string& text) {
  hint_ = Widen(text);
  if (toolTip_) ShowHint();
}

std::string Win32Window::Edit1Text() const {
  HWND edit = Item(Control::Edit1);
  return edit ? win32::WindowTextUtf8(edit) : std::string();
}

void Win32Window::SetEdit1Text(const std::string& text) { SetItemText(Control::Edit1, text); }

void Win32Window::ShowPage(int index) {
  if (index < 0 || index >= win32::kPageCount || !window_) return;
  page_ = index;
  size_t count = 0;
  const win32::ControlSpec* table = win32::ControlTable(count);
  // Show the new page first, so the focus can move before the old one hides.
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < count; ++i) {
      const int page = table[i].page;
      if (page == win32::kAllPages) continue;
      // A choice shows only when the package offers it.
      const bool show = page == index && (!win32::IsChoice(table[i].id) || offered_.contains(table[i].id));
      if (show == (pass == 0)) ShowWindow(Item(table[i].id), show ? SW_SHOW : SW_HIDE);
    }
  }
  RehomeFocus();
}

void Win32Window::SetButtonEnabled(TaFormButton button, bool enabled) {
  HWND item = Item(ButtonControl(button));
  if (!item) return;
  EnableWindow(item, enabled ? TRUE : FALSE);
  if (!enabled) RehomeFocus();
}

void Win32Window::SetButtonCaption(TaFormButton button, const std::string& text) {
  SetItemText(ButtonControl(button), text);
}

void Win32Window::SetProgress(int position) {
  HWND bar = Item(Control::ProgressBar1);
  if (bar) SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32Window::ShowChoice(TaFormChoice choice, bool shown, const std::string& caption) {
  const Control control = ChoiceControl(choice);
  if (shown)
    offered_.insert(control);
  else
    offered_.erase(control);
  if (!caption.empty()) SetItemText(control, WithoutPrefixes(caption));
  HWND item = Item(control);
  if (item) ShowWindow(item, shown && SpecOf(control).page == page_ ? SW_SHOW : SW_HIDE);
}

void Win32Window::SetChoiceChecked(TaFormChoice choice, bool checked) {
  HWND item = Item(ChoiceControl(choice));
  if (item) SendMessageW(item, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool Win32Window::ChoiceChecked(TaFormChoice choice) const {
  HWND item = Item(ChoiceControl(choice));
  return item && SendMessageW(item, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Window::LoadPicture(const std::string& path) {
  picture_.LoadFromFile(path);
  const RECT box = Scaled(win32::kImage1Rect, dpi_);
  if (window_) InvalidateRect(window_, &box, TRUE);
}

void Win32Window::Close() {
  if (window_) DestroyWindow(window_);
}

void Win32Window::ShowErrorBox(const std::string& text) {
  MessageBoxW(window_, Widen(text).c_str(), Widen(texts_->appTitle).c_str(),
              MB_OK | MB_ICONERROR);
}

bool Win32Window::AskYesNo(const std::string& text) {
  return MessageBoxW(window_, Widen(text).c_str(), Widen(texts_->appTitle).c_str(),
                     MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace setup
