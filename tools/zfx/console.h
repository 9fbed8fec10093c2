// The terminal side of zfx: messages, the progress bar and the password
// question (Ctrl-C: tools/common/terminal.h).
//
// Standard output carries the normal report (or, on a terminal, a progress
// bar redrawn in place); standard error carries every failure. Names come
// from archives and may hold anything: control characters are shown as "?"
// so that a hostile name cannot drive the terminal.
#pragma once

#include <string>

#include "terminal.h"

namespace zfx {

class Console {
 public:
  explicit Console(bool quiet);

  bool Quiet() const { return quiet_; }
  // Someone at a terminal can answer a question.
  bool Interactive() const { return interactive_; }

  // A line on standard output (nothing when quiet).
  void Info(const std::string& line);
  // A line on standard error, whatever quiet says.
  void Error(const std::string& line);

  // One entry finished: its name on its own line, unless a progress bar
  // stands for the report (or quiet).
  void EntryDone(const std::string& name);

  // Redraws the progress bar (only on a terminal and when not quiet).
  void Progress(double percent, const std::string& fileName);
  // Removes the bar so that the next line starts clean.
  void EndProgress();

  // Asks for the password of entry without echo; false when the question
  // was cancelled or nobody can answer.
  bool AskPassword(const std::string& entry, std::string& password);

  // The text as it may be printed: control characters as "?", and on a
  // Windows console in its (OEM) code page.
  std::string Printable(const std::string& text) const;

 private:
  void Write(bool toError, const std::string& text);

  bool quiet_;
  bool interactive_;
  bool progressBar_;
  bool outputIsTerminal_;
  zftool::ProgressBar bar_;
};

}  // namespace zfx
