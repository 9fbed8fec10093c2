// Messages, the progress bar, the password question and Ctrl-C for zfx.
#include "console.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "zfx.h"

namespace zfx {

namespace {

constexpr size_t kLineWidth = 79;
constexpr int kBarWidth = 24;

std::atomic<int> g_interrupts{0};

extern "C" void OnInterrupt(int) {
  if (g_interrupts.fetch_add(1) >= 1) std::_Exit(kExitAborted);
  std::signal(SIGINT, OnInterrupt);  // some systems reset the handler
}

// At most width bytes of name, cut at the front ("...tail"), never inside a
// UTF-8 sequence.
std::string FitName(const std::string& name, size_t width) {
  if (name.size() <= width) return name;
  if (width <= 3) return std::string(width, '.');
  size_t from = name.size() - (width - 3);
  while (from < name.size() && (static_cast<unsigned char>(name[from]) & 0xC0) == 0x80) ++from;
  std::string fitted = "...";
  fitted.append(name, from, std::string::npos);
  return fitted;
}

}  // namespace

Console::Console(bool quiet)
    : quiet_(quiet),
      interactive_(zf::os::StdinIsTerminal()),
      outputIsTerminal_(zf::os::StdoutIsTerminal()) {
  progressBar_ = outputIsTerminal_ && !quiet_;
}

std::string Console::WithoutControls(std::string text) {
  for (char& c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = '?';
  }
  return text;
}

std::string Console::Printable(const std::string& text) const {
  std::string out = WithoutControls(text);
#ifdef _WIN32
  // A console shows the OEM code page; the engine's strings are ANSI.
  if (outputIsTerminal_) out = zf::os::AnsiToOem(out);
#endif
  return out;
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
  const int whole = static_cast<int>(percent);
  if (barShown_ && whole == lastPercent_ && fileName == lastName_) return;
  lastPercent_ = whole;
  lastName_ = fileName;

  const int filled = whole * kBarWidth / 100;
  std::string line = "[";
  line.append(filled, '#').append(kBarWidth - filled, '-').append("] ");
  char number[8];
  std::snprintf(number, sizeof number, "%3d%% ", whole);
  line += number;
  line += FitName(Printable(fileName), kLineWidth - line.size());
  // Pad so that a shorter line covers the previous one.
  if (line.size() < kLineWidth) line.append(kLineWidth - line.size(), ' ');
  Write(false, "\r" + line);
  barShown_ = true;
}

void Console::EndProgress() {
  if (!barShown_) return;
  Write(false, "\r" + std::string(kLineWidth, ' ') + "\r");
  barShown_ = false;
}

bool Console::AskPassword(const std::string& entry, std::string& password) {
  if (!interactive_) return false;
  EndProgress();
  std::string answer;
  // The question is asked in the engine's own (ANSI) code page.
  if (!zf::os::InputQuery("Password for \"" + WithoutControls(entry) + "\"", "Enter password",
                          answer, true))
    return false;
  password = answer;
  return true;
}

void InstallInterruptHandler() { std::signal(SIGINT, OnInterrupt); }

bool Interrupted() { return g_interrupts.load() > 0; }

}  // namespace zfx
