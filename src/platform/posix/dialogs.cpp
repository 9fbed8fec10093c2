// The standard dialogs on Linux: questions on the terminal (/dev/tty, or
// standard input and error when there is no /dev/tty), asked only when
// standard input is a terminal and the program has not turned the dialogs
// off; otherwise the unattended answer at once. Also the terminal itself
// for the command-line programs' own questions, and its width.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/test_hooks.h"

namespace zf::os {

namespace {

// The terminal to talk to: /dev/tty when it opens, else stdin / stderr.
class Terminal {
 public:
  Terminal() {
    fd_ = ::open("/dev/tty", O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd_ >= 0) {
      in_ = out_ = fd_;
    } else {
      in_ = 0;
      out_ = 2;
    }
  }
  ~Terminal() {
    EndHidden();
    if (fd_ >= 0) ::close(fd_);
  }
  // /dev/tty itself was opened (not the fallback to stdin and stderr).
  bool IsTty() const { return fd_ >= 0; }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  void Write(const std::string& s) {
    size_t done = 0;
    while (done < s.size()) {
      const ssize_t n = ::write(out_, s.data() + done, s.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }

  // Turns echo off (the typed newline still shows) until EndHidden; before
  // the prompt is written, as getpass does, so no typed key is shown.
  void BeginHidden() {
    if (hidden_ || ::tcgetattr(in_, &saved_) != 0) return;
    struct termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    hidden_ = ::tcsetattr(in_, TCSAFLUSH, &quiet) == 0;
  }
  void EndHidden() {
    if (hidden_) ::tcsetattr(in_, TCSANOW, &saved_);
    hidden_ = false;
  }

  // One line without its end; false at end of input.
  bool ReadLine(std::string& line) {
    line.clear();
    for (;;) {
      char c;
      const ssize_t n = ::read(in_, &c, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return !line.empty();
      if (c == '\n') return true;
      if (c != '\r') line += c;
    }
  }

 private:
  int fd_ = -1;
  int in_ = 0;
  int out_ = 2;
  bool hidden_ = false;
  struct termios saved_ {};
};

struct Button {
  const char* label;  // the first letter is the key
  int id;
};

std::vector<Button> ButtonsOf(unsigned flags) {
  switch (flags & 0x0F) {
    case mbOKCancel:
      return {{"OK", idOK}, {"Cancel", idCancel}};
    case mbAbortRetryIgnore:
      return {{"Abort", idAbort}, {"Retry", idRetry}, {"Ignore", idIgnore}};
    case mbYesNoCancel:
      return {{"Yes", idYes}, {"No", idNo}, {"Cancel", idCancel}};
    case mbYesNo:
      return {{"Yes", idYes}, {"No", idNo}};
    case mbRetryCancel:
      return {{"Retry", idRetry}, {"Cancel", idCancel}};
    default:
      return {{"OK", idOK}};
  }
}

const char* IconWord(unsigned flags) {
  switch (flags & 0xF0) {
    case mbIconError:
      return "Error";
    case mbIconQuestion:
      return "Question";
    case mbIconWarning:
      return "Warning";
    case mbIconInformation:
      return "Information";
    default:
      return nullptr;
  }
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool StdinIsTerminal() { return ::isatty(0) == 1; }
bool StdoutIsTerminal() { return ::isatty(1) == 1; }

bool TerminalAvailable() {
  if (hooks::Dialog().input) return true;
  return Terminal().IsTty();
}

bool AskTerminal(const std::string& question, std::string& answer, bool hidden) {
  if (const auto hook = hooks::Dialog().input) return hook(std::string(), question, answer, hidden);
  Terminal tty;
  if (!tty.IsTty()) return false;
  if (hidden) tty.BeginHidden();
  tty.Write(question);
  const bool answered = tty.ReadLine(answer);
  tty.EndHidden();
  if (!answered) tty.Write("\n");
  return answered;
}

int TerminalColumns() {
  struct winsize size {};
  if (::isatty(1) != 1 || ::ioctl(1, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

int MessageDialog(const std::string& text, const std::string& caption, unsigned flags,
                  int unattended) {
  if (const auto hook = hooks::Dialog().message) return hook(text, caption, flags);
  if (UnattendedDialogs() || !StdinIsTerminal()) return unattended;
  const std::vector<Button> buttons = ButtonsOf(flags);
  // MB_DEFBUTTON2 (0x100), MB_DEFBUTTON3 (0x200) as on Windows.
  size_t defaultIndex = (flags >> 8) & 0x0F;
  if (defaultIndex >= buttons.size()) defaultIndex = 0;
  int cancelId = 0;
  for (const Button& b : buttons)
    if (b.id == idCancel) cancelId = idCancel;
  if (buttons.size() == 1) cancelId = buttons[0].id;

  Terminal tty;
  std::string head = "\n";
  if (!caption.empty()) head += "== " + caption + " ==\n";
  if (const char* icon = IconWord(flags)) head += std::string(icon) + ": ";
  head += text + "\n";
  tty.Write(head);
  std::string choices;
  for (size_t i = 0; i < buttons.size(); ++i) {
    const char* label = buttons[i].label;
    if (i) choices += ' ';
    choices += '[';
    choices += label[0];
    choices += ']';
    choices += label + 1;
  }
  choices += " (Enter = " + std::string(buttons[defaultIndex].label) + ")? ";
  for (;;) {
    tty.Write(choices);
    std::string line;
    if (!tty.ReadLine(line)) {
      tty.Write("\n");
      return cancelId ? cancelId : unattended;
    }
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i == line.size()) return buttons[defaultIndex].id;
    for (const Button& b : buttons)
      if (Lower(line[i]) == Lower(b.label[0])) return b.id;
  }
}

int ChoiceDialog(const std::string& text, const std::string& caption,
                 const std::vector<std::string>& buttons, int unattended) {
  if (const auto hook = hooks::Dialog().choice) return hook(text, caption, buttons);
  if (UnattendedDialogs() || !StdinIsTerminal() || buttons.empty()) return unattended;
  Terminal tty;
  std::string head = "\n";
  if (!caption.empty()) head += "== " + caption + " ==\n";
  head += text + "\n";
  tty.Write(head);
  // Numbered, because labels such as "No" and "No to All" share letters.
  std::string choices;
  for (size_t i = 0; i < buttons.size(); ++i) {
    if (i) choices += ' ';
    choices += '[' + std::to_string(i + 1) + "] " + buttons[i];
  }
  choices += "? ";
  for (;;) {
    tty.Write(choices);
    std::string line;
    if (!tty.ReadLine(line)) {
      tty.Write("\n");
      return -1;
    }
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    size_t number = 0, digits = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9' && digits < 4) {
      number = number * 10 + static_cast<size_t>(line[i++] - '0');
      ++digits;
    }
    if (digits > 0 && number >= 1 && number <= buttons.size())
      return static_cast<int>(number - 1);
  }
}

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value,
                bool hidden) {
  if (const auto hook = hooks::Dialog().input) return hook(caption, prompt, value, hidden);
  if (UnattendedDialogs() || !StdinIsTerminal()) return false;
  Terminal tty;
  std::string head = "\n";
  if (!caption.empty()) head += "== " + caption + " ==\n";
  head += prompt;
  if (!hidden && !value.empty()) head += " [" + value + "]";
  head += ": ";
  if (hidden) tty.BeginHidden();
  tty.Write(head);
  std::string line;
  const bool answered = tty.ReadLine(line);
  tty.EndHidden();
  if (!answered) {
    tty.Write("\n");
    return false;
  }
  // An empty answer keeps a visible default.
  if (!line.empty() || hidden) value = line;
  return true;
}

}  // namespace zf::os
