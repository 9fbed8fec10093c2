// Windows: the standard dialogs (a message box, a question with buttons of
// its own labels and a one-line input box), the tests' hook that answers
// them, and whether standard input is a console.
//
// The dialogs are real windows even for a console program; a program in
// which nobody may be asked turns them off (SetUnattendedDialogs), and each
// then gives its unattended answer.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "platform/win32/win32_util.h"

#ifdef MessageBox
#undef MessageBox
#endif

namespace zf::os {

namespace {

using win32::AnsiToWide;
using win32::WideToAnsi;

// ---- a dialog template built in memory -------------------------------------

class TemplateBuilder {
 public:
  void Word(WORD w) { words_.push_back(w); }
  void Dword(DWORD d) {
    Word(LOWORD(d));
    Word(HIWORD(d));
  }
  void String(const std::wstring& s) {
    for (wchar_t c : s) Word(static_cast<WORD>(c));
    Word(0);
  }
  void AlignDword() {
    if (words_.size() % 2) Word(0);
  }
  void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classAtom,
            const std::wstring& text) {
    AlignDword();
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);  // extended style
    Word(static_cast<WORD>(x));
    Word(static_cast<WORD>(y));
    Word(static_cast<WORD>(cx));
    Word(static_cast<WORD>(cy));
    Word(id);
    Word(0xFFFF);  // a predefined class, by atom
    Word(classAtom);
    String(text);
    Word(0);  // no creation data
  }
  std::vector<WORD>& Words() { return words_; }

 private:
  std::vector<WORD> words_;
};

constexpr WORD kButtonClass = 0x0080, kEditClass = 0x0081, kStaticClass = 0x0082;
constexpr WORD kPromptId = 100, kEditId = 101;

struct QueryState {
  std::wstring value;
};

INT_PTR CALLBACK QueryProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dlg, DWLP_USER, lParam);
      auto* state = reinterpret_cast<QueryState*>(lParam);
      HWND edit = GetDlgItem(dlg, kEditId);
      SetWindowTextW(edit, state->value.c_str());
      SendMessageW(edit, EM_SETSEL, 0, -1);
      SetFocus(edit);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          auto* state = reinterpret_cast<QueryState*>(GetWindowLongPtrW(dlg, DWLP_USER));
          HWND edit = GetDlgItem(dlg, kEditId);
          const int len = GetWindowTextLengthW(edit);
          std::wstring text(static_cast<size_t>(len) + 1, L'\0');
          const int got = GetWindowTextW(edit, text.data(), len + 1);
          text.resize(got > 0 ? static_cast<size_t>(got) : 0);
          if (state) state->value = text;
          EndDialog(dlg, IDOK);
          return TRUE;
        }
        case IDCANCEL:  // Esc, the Cancel button and the close box
          EndDialog(dlg, IDCANCEL);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

// Rough number of lines the prompt takes at the dialog's width.
int PromptLines(const std::wstring& prompt) {
  constexpr size_t kCharsPerLine = 50;
  int lines = 0;
  size_t start = 0;
  for (;;) {
    const size_t end = prompt.find(L'\n', start);
    const size_t len = (end == std::wstring::npos ? prompt.size() : end) - start;
    lines += 1 + static_cast<int>(len / kCharsPerLine);
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return lines < 1 ? 1 : (lines > 20 ? 20 : lines);
}

// Buttons of a choice dialog carry these ids, in order.
constexpr WORD kFirstChoiceId = 200;

INT_PTR CALLBACK ChoiceProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      return TRUE;  // the first button, the default one, gets the focus
    case WM_COMMAND: {
      const WORD id = LOWORD(wParam);
      if (id == IDCANCEL) {  // Esc and the close box: no choice
        EndDialog(dlg, -1);
        return TRUE;
      }
      if (id >= kFirstChoiceId) {
        EndDialog(dlg, id - kFirstChoiceId);
        return TRUE;
      }
      break;
    }
  }
  return FALSE;
}

}  // namespace

int ChoiceDialog(const std::string& text, const std::string& caption,
                 const std::vector<std::string>& buttons, int unattended) {
  if (const auto hook = hooks::Dialog().choice) return hook(text, caption, buttons);
  if (UnattendedDialogs() || buttons.empty() || buttons.size() > 16) return unattended;

  const std::wstring wtext = AnsiToWide(text);
  const short margin = 7, buttonWidth = 56, gap = 4;
  const short count = static_cast<short>(buttons.size());
  const short rowWidth = static_cast<short>(count * buttonWidth + (count - 1) * gap);
  const short width = static_cast<short>(rowWidth + 2 * margin < 240 ? 240 : rowWidth + 2 * margin);
  const short textHeight = static_cast<short>(PromptLines(wtext) * 9);
  const short buttonsY = margin + textHeight + 8;
  const short height = buttonsY + 14 + margin;

  TemplateBuilder t;
  t.Dword(DS_MODALFRAME | DS_SETFONT | DS_CENTER | DS_SETFOREGROUND | WS_POPUP | WS_CAPTION |
          WS_SYSMENU);
  t.Dword(0);
  t.Word(static_cast<WORD>(1 + count));
  t.Word(0);
  t.Word(0);
  t.Word(static_cast<WORD>(width));
  t.Word(static_cast<WORD>(height));
  t.Word(0);
  t.Word(0);
  t.String(AnsiToWide(caption));
  t.Word(8);
  t.String(L"MS Shell Dlg");
  t.Item(SS_LEFT | SS_NOPREFIX, margin, margin, static_cast<short>(width - 2 * margin), textHeight,
         kPromptId, kStaticClass, wtext);
  short x = static_cast<short>(width - margin - rowWidth);
  for (short i = 0; i < count; ++i) {
    t.Item((i == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP, x, buttonsY, buttonWidth, 14,
           static_cast<WORD>(kFirstChoiceId + i), kButtonClass,
           AnsiToWide(buttons[static_cast<size_t>(i)]));
    x = static_cast<short>(x + buttonWidth + gap);
  }
  const INT_PTR result = DialogBoxIndirectParamW(
      GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(t.Words().data()),
      GetActiveWindow(), ChoiceProc, 0);
  if (result < -1 || result >= count) return -1;  // the dialog could not be shown
  return static_cast<int>(result);
}

int MessageDialog(const std::string& text, const std::string& caption, unsigned flags,
                  int unattended) {
  if (const auto hook = hooks::Dialog().message) return hook(text, caption, flags);
  if (UnattendedDialogs()) return unattended;
  const std::wstring wtext = AnsiToWide(text), wcaption = AnsiToWide(caption);
  const int result = MessageBoxW(GetActiveWindow(), wtext.c_str(), wcaption.c_str(), flags);
  return result != 0 ? result : unattended;
}

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value,
                bool hidden) {
  if (const auto hook = hooks::Dialog().input) return hook(caption, prompt, value, hidden);
  if (UnattendedDialogs()) return false;

  const std::wstring wprompt = AnsiToWide(prompt);
  const short margin = 7, width = 240, inner = width - 2 * margin;
  const short promptHeight = static_cast<short>(PromptLines(wprompt) * 9);
  const short editY = margin + promptHeight + 3;
  const short buttonsY = editY + 14 + 8;
  const short height = buttonsY + 14 + margin;
  const short buttonWidth = 50;

  TemplateBuilder t;
  // DLGTEMPLATE
  t.Dword(DS_MODALFRAME | DS_SETFONT | DS_CENTER | DS_SETFOREGROUND | WS_POPUP | WS_CAPTION |
          WS_SYSMENU);
  t.Dword(0);  // extended style
  t.Word(4);   // items
  t.Word(0);
  t.Word(0);
  t.Word(static_cast<WORD>(width));
  t.Word(static_cast<WORD>(height));
  t.Word(0);  // no menu
  t.Word(0);  // the standard dialog class
  t.String(AnsiToWide(caption));
  t.Word(8);  // font size, then name
  t.String(L"MS Shell Dlg");
  // The items.
  t.Item(SS_LEFT | SS_NOPREFIX, margin, margin, inner, promptHeight, kPromptId, kStaticClass,
         wprompt);
  t.Item(WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | (hidden ? ES_PASSWORD : 0), margin, editY,
         inner, 14, kEditId, kEditClass, L"");
  t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, width - margin - 2 * buttonWidth - 4, buttonsY,
         buttonWidth, 14, IDOK, kButtonClass, L"OK");
  t.Item(BS_PUSHBUTTON | WS_TABSTOP, width - margin - buttonWidth, buttonsY, buttonWidth, 14,
         IDCANCEL, kButtonClass, L"Cancel");

  // The template must be DWORD-aligned; a vector of WORDs from operator new is.
  QueryState state;
  state.value = AnsiToWide(value);
  const INT_PTR result = DialogBoxIndirectParamW(
      GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(t.Words().data()),
      GetActiveWindow(), QueryProc, reinterpret_cast<LPARAM>(&state));
  if (result != IDOK) return false;
  value = WideToAnsi(state.value);
  return true;
}

bool StdinIsTerminal() {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  if (in == nullptr || in == INVALID_HANDLE_VALUE) return false;
  // The NUL device (and /dev/null under Wine) is a character device too;
  // only a console has a console mode.
  DWORD mode = 0;
  return GetFileType(in) == FILE_TYPE_CHAR && GetConsoleMode(in, &mode) != FALSE;
}

bool StdoutIsTerminal() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  return GetFileType(out) == FILE_TYPE_CHAR && GetConsoleMode(out, &mode) != FALSE;
}

namespace {

// The console of the process, opened anew whatever the standard handles
// are; closed with the object.
class ConsoleHandles {
 public:
  ConsoleHandles() {
    in_ = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    out_ = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  ~ConsoleHandles() {
    if (in_ != INVALID_HANDLE_VALUE) CloseHandle(in_);
    if (out_ != INVALID_HANDLE_VALUE) CloseHandle(out_);
  }
  ConsoleHandles(const ConsoleHandles&) = delete;
  ConsoleHandles& operator=(const ConsoleHandles&) = delete;

  // Both ends are a real console (a console mode of their own).
  bool Usable() const {
    DWORD mode = 0;
    return in_ != INVALID_HANDLE_VALUE && out_ != INVALID_HANDLE_VALUE &&
           GetConsoleMode(in_, &mode) != FALSE && GetConsoleMode(out_, &mode) != FALSE;
  }
  HANDLE In() const { return in_; }
  HANDLE Out() const { return out_; }

 private:
  HANDLE in_ = INVALID_HANDLE_VALUE;
  HANDLE out_ = INVALID_HANDLE_VALUE;
};

}  // namespace

bool TerminalAvailable() {
  if (hooks::Dialog().input) return true;
  return ConsoleHandles().Usable();
}

bool AskTerminal(const std::string& question, std::string& answer, bool hidden) {
  if (const auto hook = hooks::Dialog().input) return hook(std::string(), question, answer, hidden);
  ConsoleHandles console;
  if (!console.Usable()) return false;
  const std::wstring text = AnsiToWide(question);
  DWORD written = 0;
  WriteConsoleW(console.Out(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  DWORD mode = 0;
  GetConsoleMode(console.In(), &mode);
  if (hidden) SetConsoleMode(console.In(), mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  // Line input: the console edits the line and hands it over with its end.
  std::wstring line;
  bool ended = false;
  for (;;) {
    wchar_t buffer[256];
    DWORD got = 0;
    if (!ReadConsoleW(console.In(), buffer, 256, &got, nullptr) || got == 0) break;
    line.append(buffer, got);
    if (line.find(L'\n') != std::wstring::npos) {
      ended = true;
      break;
    }
  }
  if (hidden) {
    SetConsoleMode(console.In(), mode);
    WriteConsoleW(console.Out(), L"\r\n", 2, &written, nullptr);
  }
  line = line.substr(0, line.find_first_of(L"\r\n"));
  // Ctrl-Z at the start of a line is the console's end of input.
  if (!ended || (!line.empty() && line[0] == 0x1A)) return false;
  answer = WideToAnsi(line);
  return true;
}

int TerminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!StdoutIsTerminal() || !GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info))
    return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

}  // namespace zf::os
