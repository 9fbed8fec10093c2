// What the parts of zfx share: the parsed command line and the exit
// statuses.
#pragma once

#include <string>
#include <vector>

#include "archive/ZFTypes.h"

namespace zfx {

// The process exit statuses.
enum ExitStatus : int {
  kExitOk = 0,        // every selected entry was extracted (or listed)
  kExitSomeFailed = 1,  // at least one entry failed or was skipped
  kExitFatal = 2,     // bad command line, or the archive could not be opened
  kExitAborted = 3,   // stopped by Ctrl-C
};

enum class Command { Extract, List, Help };

struct CommandLine {
  Command command = Command::Help;
  std::string archive;
  std::string destination = ".";
  std::string password;
  bool havePassword = false;
  zf::TZFOverwriteMode overwrite = zf::omAlways;
  bool junkPaths = false;
  bool quiet = false;
  bool keepCorrupt = false;
  std::vector<std::string> masks;       // empty: every entry
  std::vector<std::string> exclusions;  // -x masks
};

}  // namespace zfx
