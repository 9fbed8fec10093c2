// The terminal side the command-line programs share: text made safe to
// print, the progress line redrawn in place, and the requests to stop.
#pragma once

#include <cstddef>
#include <string>

namespace zftool {

// Control characters (below 0x20, and 0x7F) as "?": names come from
// archives and folders and may hold anything, but must not drive the
// terminal.
std::string WithoutControls(std::string text);

// text as a terminal shows it: without control characters, and on a
// Windows console in its OEM code page (the programs' strings are ANSI
// there).
std::string ForTerminal(const std::string& text);

// "Code pages: ANSI 65001, OEM 437\n": what the program reads and writes
// names in (the ANSI code page, UTF-8 on Linux and under the Windows
// manifest) and what stored names without the UTF-8 flag are read in;
// the help text ends with it.
std::string CodePagesLine();

// At most width bytes of name, cut at the front ("...tail"); on Linux never
// inside a UTF-8 sequence.
std::string FitName(const std::string& name, size_t width);

// The width of a progress line where the terminal's is unknown: an
// 80-column terminal without wrapping.
inline constexpr size_t kDefaultLineWidth = 79;

// The width a progress line may take on standard output's terminal: one
// less than its columns (a full line would wrap on some terminals), at
// least 20, kDefaultLineWidth when the columns are unknown.
size_t LineWidth();

// "phase [#####-------]  42% name": phase and its space only when there is
// one, percent held to 0-100, the bar narrower on a narrow line, name made
// fit for the terminal and cut to the room left, the whole padded to width
// and led by a carriage return, so that it covers the line drawn before
// it.
std::string ProgressLine(const std::string& phase, int percent, const std::string& name,
                         size_t width = kDefaultLineWidth);
// What takes a progress line of width off the screen, leaving the cursor
// at the start of the line.
std::string ClearedLine(size_t width = kDefaultLineWidth);

// The progress line on standard output, redrawn in place and as wide as the
// terminal allows (LineWidth, asked once): Show draws it unless the same
// line already stands there, Clear takes it off. Each write is flushed, so
// the bar moves while the work goes on. Whether a bar is wanted at all (a
// terminal, not quiet) is the caller's decision.
class ProgressBar {
 public:
  void Show(const std::string& phase, int percent, const std::string& name);
  void Clear();

 private:
  size_t width_ = LineWidth();
  bool shown_ = false;
  std::string phase_;
  int percent_ = -1;
  std::string name_;
};

// Requests to stop: Ctrl-C, and on Linux SIGTERM and SIGHUP (a closed
// terminal), on Windows Ctrl-Break, a closed console window, logoff and
// shutdown. The first sets the flag the program polls (the work then stops
// where it can and removes what it began); a second one ends the program
// at once with exitStatus.
void InstallInterruptHandler(int exitStatus);
bool Interrupted();

}  // namespace zftool
