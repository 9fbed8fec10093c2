// mkstp, the package builder: turns a folder into NAME.stp, the setup
// package, with a copy of the setup wizard beside it as NAME.exe. See
// UsageText for the command line.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "build_package.h"
#include "command_line.h"
#include "mkstp.h"
#include "progress.h"
#include "terminal.h"

int main(int argc, char** argv) {
  using namespace mkstp;
  const std::vector<std::string> args(argv + 1, argv + argc);
  Options options;
  std::string error;
  switch (ParseCommandLine(args, options, error)) {
    case Parsed::Help:
      std::fputs((UsageText() + "\n" + zftool::CodePagesLine()).c_str(), stdout);
      return kExitOk;
    case Parsed::Error:
      std::fprintf(stderr, "mkstp: %s\n%s", error.c_str(), UsageText().c_str());
      return kExitUsage;
    case Parsed::Run:
      break;
  }
  // The reproducible-builds convention: the time the source was last
  // changed, in whole seconds since 1970 (UTC).
  if (!TakeSourceDateEpoch(std::getenv("SOURCE_DATE_EPOCH"), options)) {
    std::fprintf(stderr, "mkstp: SOURCE_DATE_EPOCH is no number of seconds\n");
    return kExitUsage;
  }
  // The first Ctrl-C (or SIGTERM, SIGHUP, a closed console) stops the run,
  // which removes what it began; a second one ends the program at once.
  zftool::InstallInterruptHandler(kExitFailed);
  Progress progress(options.quiet);
  try {
    BuildPackage(options, argc > 0 ? argv[0] : "", progress);
  } catch (const std::exception& e) {
    progress.End();
    std::fprintf(stderr, "mkstp: %s\n", e.what());
    return kExitFailed;
  }
  return kExitOk;
}
