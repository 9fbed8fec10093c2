// Messages, the progress bar and the questions for zfx.
#include "console.h"

#include <cstdio>

#include "platform/platform.h"
#include "terminal.h"

namespace zfx {

Console::Console(bool quiet, bool archiveOnStdin)
    : quiet_(quiet),
      interactive_(archiveOnStdin ? zf::os::TerminalAvailable() : zf::os::StdinIsTerminal()),
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

bool Console::Ask(const std::string& question, std::string& answer, bool hidden) {
  if (!interactive_) return false;
  EndProgress();
  std::fflush(stdout);
  // The question is asked in the engine's own (ANSI) code page.
  return zf::os::AskTerminal(zftool::WithoutControls(question), answer, hidden);
}

bool Console::AskPassword(const std::string& entry, std::string& password) {
  std::string answer;
  if (!Ask("Password for \"" + entry + "\": ", answer, true)) return false;
  password = answer;
  return true;
}

OverwriteAnswer Console::AskOverwrite(const std::string& name, std::string& newName) {
  for (;;) {
    std::string answer;
    if (!Ask("replace " + name + "? [y]es, [n]o, [A]ll, [N]one, [r]ename: ", answer, false))
      return OverwriteAnswer::No;
    const size_t first = answer.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    switch (answer[first]) {
      case 'y': case 'Y': return OverwriteAnswer::Yes;
      case 'n': return OverwriteAnswer::No;
      case 'A': return OverwriteAnswer::All;
      case 'N': return OverwriteAnswer::None;
      case 'r': case 'R':
        if (!Ask("new name: ", newName, false) || newName.empty()) return OverwriteAnswer::No;
        return OverwriteAnswer::Rename;
      default: break;
    }
  }
}

}  // namespace zfx
