// The progress bar and the interrupt flag.
#include "progress.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "mkstp.h"
#include "platform/platform.h"

namespace mkstp {

namespace {

constexpr size_t kLineWidth = 79;
constexpr int kBarWidth = 20;

std::atomic<int> g_interrupts{0};

extern "C" void OnInterrupt(int) {
  if (g_interrupts.fetch_add(1) >= 1) std::_Exit(kExitFailed);
  std::signal(SIGINT, OnInterrupt);  // some systems reset the handler
}

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

Progress::Progress(bool quiet) : shown_(!quiet && zf::os::StdoutIsTerminal()), quiet_(quiet) {}

void Progress::Begin(const std::string& phase, uint64_t total) {
  phase_ = phase;
  total_ = total;
  done_ = 0;
  lastPercent_ = -1;
  Draw("");
}

void Progress::Advance(uint64_t done, const std::string& name) {
  done_ += done;
  Draw(name);
}

void Progress::Draw(const std::string& name) {
  if (!shown_) return;
  const int percent = total_ == 0 ? 100 : static_cast<int>(done_ * 100 / total_);
  if (percent == lastPercent_ && name == lastName_) return;
  lastPercent_ = percent;
  lastName_ = name;
  const int filled = (percent > 100 ? 100 : percent) * kBarWidth / 100;
  std::string line = phase_ + " [";
  line.append(filled, '#').append(kBarWidth - filled, '-');
  char number[16];
  std::snprintf(number, sizeof number, "] %3d%% ", percent > 100 ? 100 : percent);
  line += number;
  std::string shownName = name;
  for (char& c : shownName)
    if (static_cast<unsigned char>(c) < 0x20) c = '?';
#ifdef _WIN32
  shownName = zf::os::AnsiToOem(shownName);  // a console shows the OEM code page
#endif
  const size_t room = line.size() < kLineWidth ? kLineWidth - line.size() : 0;
  if (shownName.size() > room) {
    // Keep the end of the name, never starting inside a UTF-8 sequence.
    size_t from = shownName.size() - room + (room > 3 ? 3 : room);
    while (from < shownName.size() && (static_cast<unsigned char>(shownName[from]) & 0xC0) == 0x80)
      ++from;
    shownName = std::string(room > 3 ? "..." : "") + shownName.substr(from);
  }
  line += shownName;
  if (line.size() < kLineWidth) line.append(kLineWidth - line.size(), ' ');
  Print("\r" + line);
  drawn_ = true;
}

void Progress::End() {
  if (!drawn_) return;
  Print("\r" + std::string(kLineWidth, ' ') + "\r");
  drawn_ = false;
}

void Progress::Info(const std::string& line) {
  if (quiet_) return;
  End();
  Print(line + "\n");
}

void InstallInterruptHandler() { std::signal(SIGINT, OnInterrupt); }

void StopIfInterrupted() {
  if (g_interrupts.load() > 0) throw Failure("interrupted");
}

}  // namespace mkstp
