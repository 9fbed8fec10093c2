// zfx, the command-line extractor over the archive component: "x" extracts
// entries by mask, "t" tests them, "l" lists them. See UsageText for the
// command line.
#include <cstdio>
#include <string>
#include <vector>

#include "archive/ZFArchiver.h"
#include "command_line.h"
#include "console.h"
#include "extract.h"
#include "list.h"
#include "stdin_archive.h"
#include "terminal.h"
#include "zfx.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  using namespace zfx;
  const std::vector<std::string> args(argv + 1, argv + argc);
  // The usage only when asked for, or when there is nothing else to say;
  // a wrong command line gets one line.
  if (args.empty()) {
    std::fputs(UsageText().c_str(), stderr);
    return kExitFatal;
  }
  CommandLine cmd;
  std::string error;
  if (!ParseCommandLine(args, cmd, error)) {
    std::fprintf(stderr, "zfx: %s (zfx --help shows the usage)\n", error.c_str());
    return kExitFatal;
  }
  switch (cmd.command) {
    case Command::Help:
      std::fputs((UsageText() + "\n" + zftool::CodePagesLine()).c_str(), stdout);
      return kExitOk;
    case Command::Version: {
      // The engine's version string ends with a space, as its callers have
      // always had it.
      std::string engine = zf::TZipArchiver().GetCurrentVersion();
      while (!engine.empty() && engine.back() == ' ') engine.pop_back();
      std::printf("zfx %s, archive engine %s\n", ZF_PROJECT_VERSION, engine.c_str());
      return kExitOk;
    }
    default:
      break;
  }
  Console console(cmd.quiet, cmd.ArchiveOnStdin());
  // Without a terminal nobody answers: the engine's own dialogs (real
  // windows on Windows) give their unattended answers instead of waiting.
  if (!console.Interactive()) zf::os::SetUnattendedDialogs(true);
  // The first Ctrl-C (or SIGTERM, SIGHUP, a closed console) stops the run
  // (or the copy of standard input), its entry's file never put in place; a
  // second one ends it at once. A listing just ends.
  if (cmd.command != Command::List || cmd.ArchiveOnStdin())
    zftool::InstallInterruptHandler(kExitAborted);
  StdinArchive stdinArchive;
  if (cmd.ArchiveOnStdin() && !stdinArchive.Prepare(cmd, console))
    return zftool::Interrupted() ? kExitAborted : kExitFatal;
  return cmd.command == Command::List ? RunList(cmd, console) : RunExtract(cmd, console);
}
