// zfx, the command-line extractor over the archive component: "x" extracts
// entries by mask, "l" lists them. See UsageText for the command line.
#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "console.h"
#include "extract.h"
#include "list.h"
#include "terminal.h"
#include "zfx.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  using namespace zfx;
  const std::vector<std::string> args(argv + 1, argv + argc);
  CommandLine cmd;
  std::string error;
  if (!ParseCommandLine(args, cmd, error)) {
    std::fprintf(stderr, "zfx: %s\n%s", error.c_str(), UsageText().c_str());
    return kExitFatal;
  }
  Console console(cmd.quiet);
  // Without a terminal nobody answers: the engine's own dialogs (real
  // windows on Windows) give their unattended answers instead of waiting.
  if (!console.Interactive()) zf::os::SetUnattendedDialogs(true);
  switch (cmd.command) {
    case Command::Help:
      std::fputs((UsageText() + "\n" + zftool::CodePagesLine()).c_str(), stdout);
      return kExitOk;
    case Command::List:
      return RunList(cmd, console);
    case Command::Extract:
      // The first Ctrl-C (or SIGTERM, SIGHUP, a closed console) stops the
      // extraction after the current chunk, its entry's file never put in
      // place; a second one aborts at once.
      zftool::InstallInterruptHandler(kExitAborted);
      return RunExtract(cmd, console);
  }
  return kExitFatal;
}
