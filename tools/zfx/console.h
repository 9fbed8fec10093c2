// The terminal side of zfx: messages, the progress bar and the questions
// (password, overwrite); Ctrl-C: tools/common/terminal.h.
//
// Standard output carries the normal report (or, on a terminal, a progress
// bar redrawn in place and one summary line at the end); standard error
// carries every failure. Names come from archives and may hold anything:
// control characters are shown as "?" so that a hostile name cannot drive
// the terminal.
//
// Questions go to the terminal itself (os::AskTerminal), never through
// standard input, which may carry the archive: someone can answer when
// standard input is a terminal, or, for an archive read from standard
// input, when the terminal can be opened.
#pragma once

#include <string>

#include "terminal.h"

namespace zfx {

// An answer to "replace NAME?".
enum class OverwriteAnswer { Yes, No, All, None, Rename };

class Console {
 public:
  explicit Console(bool quiet, bool archiveOnStdin = false);

  bool Quiet() const { return quiet_; }
  // Someone at a terminal can answer a question.
  bool Interactive() const { return interactive_; }
  // A progress bar stands for the per-entry report (a terminal, not quiet).
  bool ShowsProgress() const { return progressBar_; }

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
  // Asks unzip's question "replace NAME? [y]es, [n]o, [A]ll, [N]one,
  // [r]ename: " until it gets one of those answers, and for Rename the new
  // name (an empty one, or the end of input, counts as No). No when nobody
  // can answer.
  OverwriteAnswer AskOverwrite(const std::string& name, std::string& newName);

  // The text as it may be printed: control characters as "?", and on a
  // Windows console in its (OEM) code page.
  std::string Printable(const std::string& text) const;

 private:
  void Write(bool toError, const std::string& text);
  bool Ask(const std::string& question, std::string& answer, bool hidden);

  bool quiet_;
  bool interactive_;
  bool progressBar_;
  bool outputIsTerminal_;
  zftool::ProgressBar bar_;
};

}  // namespace zfx
