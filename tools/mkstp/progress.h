// Progress on a terminal, and Ctrl-C.
//
// The bar is drawn on standard output only when it is a terminal and mkstp
// is not quiet; otherwise nothing is drawn and only the final report and
// errors are printed.
#pragma once

#include <cstdint>
#include <string>

#include "terminal.h"

namespace mkstp {

class Progress {
 public:
  explicit Progress(bool quiet);

  // A new phase ("packing", "verifying") of total units of work.
  void Begin(const std::string& phase, uint64_t total);
  // done more units, working on name.
  void Advance(uint64_t done, const std::string& name);
  // Removes the bar, so that the next line starts clean.
  void End();
  // A line on standard output unless quiet.
  void Info(const std::string& line);
  // "mkstp: warning: " and the line on standard error, quiet or not.
  void Warn(const std::string& line);

 private:
  void Draw(const std::string& name);

  bool drawBar_;
  bool quiet_;
  zftool::ProgressBar bar_;
  std::string phase_;
  uint64_t total_ = 0, done_ = 0;
};

// Raises Failure("interrupted") once Ctrl-C was pressed (the handler is
// tools/common/terminal.h's): the run then removes what it began.
void StopIfInterrupted();

}  // namespace mkstp
