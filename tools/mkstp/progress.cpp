// The progress bar, and the interrupt flag as mkstp checks it.
#include "progress.h"

#include <cstdio>

#include "mkstp.h"
#include "platform/platform.h"
#include "terminal.h"

namespace mkstp {

namespace {

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

Progress::Progress(bool quiet) : drawBar_(!quiet && zf::os::StdoutIsTerminal()), quiet_(quiet) {}

void Progress::Begin(const std::string& phase, uint64_t total) {
  phase_ = phase;
  total_ = total;
  done_ = 0;
  Draw("");
}

void Progress::Advance(uint64_t done, const std::string& name) {
  done_ += done;
  Draw(name);
}

void Progress::Draw(const std::string& name) {
  if (!drawBar_) return;
  bar_.Show(phase_, total_ == 0 ? 100 : static_cast<int>(done_ * 100 / total_), name);
}

void Progress::End() { bar_.Clear(); }

void Progress::Info(const std::string& line) {
  if (quiet_) return;
  End();
  Print(line + "\n");
}

void Progress::Warn(const std::string& line) {
  End();
  const std::string text = "mkstp: warning: " + line + "\n";
  std::fwrite(text.data(), 1, text.size(), stderr);
}

void StopIfInterrupted() {
  if (zftool::Interrupted()) throw Failure("interrupted");
}

}  // namespace mkstp
