// The shared terminal side (see terminal.h).
#include "terminal.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

namespace zftool {

namespace {

constexpr int kBarWidth = 24;
constexpr size_t kMinLineWidth = 20;

std::atomic<int> g_interrupts{0};
std::atomic<int> g_exitStatus{1};

// The first request to stop sets the flag; a second one ends the program.
void RequestStop() {
  if (g_interrupts.fetch_add(1) >= 1) std::_Exit(g_exitStatus.load());
}

void Print(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace

std::string WithoutControls(std::string text) {
  for (char& c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = '?';
  }
  return text;
}

std::string ForTerminal(const std::string& text) {
#ifdef _WIN32
  return zf::os::AnsiToOem(WithoutControls(text));
#else
  return WithoutControls(text);
#endif
}

std::string CodePagesLine() {
  return "Code pages: ANSI " + std::to_string(zf::os::AnsiCodePage()) + ", OEM " +
         std::to_string(zf::os::OemCodePage()) + "\n";
}

std::string FitName(const std::string& name, size_t width) {
  if (name.size() <= width) return name;
  if (width <= 3) return std::string(width, '.');
  size_t from = name.size() - (width - 3);
#ifndef _WIN32
  // Linux names are UTF-8; a Windows console's are one byte a character.
  while (from < name.size() && (static_cast<unsigned char>(name[from]) & 0xC0) == 0x80) ++from;
#endif
  std::string fitted = "...";
  fitted.append(name, from, std::string::npos);
  return fitted;
}

size_t LineWidth() {
  const int columns = zf::os::TerminalColumns();
  if (columns <= 0) return kDefaultLineWidth;
  return std::max(static_cast<size_t>(columns - 1), kMinLineWidth);
}

std::string ProgressLine(const std::string& phase, int percent, const std::string& name,
                         size_t width) {
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  // The full bar from 60 columns on; below, half of what the line has left
  // beside the number, so that the name keeps some room.
  const int barWidth =
      width >= 60 ? kBarWidth : std::max(4, static_cast<int>(width) / 2 - 8);
  const int filled = percent * barWidth / 100;
  std::string line = phase;
  if (!line.empty()) line += ' ';
  line += '[';
  line.append(filled, '#').append(barWidth - filled, '-');
  char number[16];
  std::snprintf(number, sizeof number, "] %3d%% ", percent);
  line += number;
  if (line.size() < width) line += FitName(ForTerminal(name), width - line.size());
  if (line.size() < width) line.append(width - line.size(), ' ');
  line.insert(line.begin(), '\r');
  return line;
}

std::string ClearedLine(size_t width) {
  std::string line(width + 2, ' ');
  line.front() = line.back() = '\r';
  return line;
}

void ProgressBar::Show(const std::string& phase, int percent, const std::string& name) {
  if (shown_ && phase == phase_ && percent == percent_ && name == name_) return;
  phase_ = phase;
  percent_ = percent;
  name_ = name;
  Print(ProgressLine(phase, percent, name, width_));
  shown_ = true;
}

void ProgressBar::Clear() {
  if (!shown_) return;
  Print(ClearedLine(width_));
  shown_ = false;
}

void InstallInterruptHandler(int exitStatus) {
  g_exitStatus = exitStatus;
  zf::os::SetStopRequestHandler(RequestStop);
}

bool Interrupted() { return g_interrupts.load() > 0; }

}  // namespace zftool
