// Messages, the progress bar and the password question for zfx.
#include "console.h"

#include <cstdio>

#include "platform/platform.h"
#include "terminal.h"

namespace zfx {

Console::Console(bool quiet)
    : quiet_(quiet),
      interactive_(zf::os::StdinIsTerminal()),
      outputIsTerminal_(zf::os::StdoutIsTerminal()) {
  progressBar_ = outputIsTerminal_ && !quiet_;
}

std::string Console::Printable(const std::string& text) const {
  return outputIsTerminal_ ? zftool::ForTerminal(text) : zftool::WithoutControls(text);
}

// Standard output stays buffered unless it is a terminal (a listing of many
// entries would cost a system call per line); an error lets the lines before
// it out first, so both streams keep their order where they meet.
void Console::Write(bool toError, const std::string& text) {
  if (toError) std::fflush(stdout);
  std::FILE* stream = toError ? stderr : stdout;
  std::fwrite(text.data(), 1, text.size(), stream);
  if (toError || outputIsTerminal_) std::fflush(stream);
}

void Console::Info(const std::string& line) {
  if (quiet_) return;
  EndProgress();
  Write(false, Printable(line) + "\n");
}

void Console::EntryDone(const std::string& name) {
  if (quiet_ || progressBar_) return;
  Write(false, Printable(name) + "\n");
}

void Console::Error(const std::string& line) {
  EndProgress();
  Write(true, Printable(line) + "\n");
}

void Console::Progress(double percent, const std::string& fileName) {
  if (!progressBar_) return;
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  bar_.Show("", static_cast<int>(percent), fileName);
}

void Console::EndProgress() { bar_.Clear(); }

bool Console::AskPassword(const std::string& entry, std::string& password) {
  if (!interactive_) return false;
  EndProgress();
  std::string answer;
  // The question is asked in the engine's own (ANSI) code page.
  if (!zf::os::InputQuery("Password for \"" + zftool::WithoutControls(entry) + "\"",
                          "Enter password", answer, true))
    return false;
  password = answer;
  return true;
}

}  // namespace zfx
