// What the parts of zfx share: the parsed command line and the exit
// statuses.
#pragma once

#include <string>
#include <vector>

#include "archive/ZFTypes.h"

namespace zfx {

// The process exit statuses.
enum ExitStatus : int {
  kExitOk = 0,        // every selected entry was extracted, tested or listed
  kExitSomeFailed = 1,  // at least one entry failed, was skipped or was kept
  kExitFatal = 2,     // bad command line, or the archive could not be opened
  kExitAborted = 3,   // stopped by Ctrl-C
};

enum class Command { Extract, Test, List, Help, Version };

// What to do when an entry's file exists.
enum class Overwrite {
  Ask,      // none of -o -n -u: ask on a terminal; without one keep it, say so, exit 1
  Always,   // -o
  Never,    // -n: keep it without a word
  IfNewer,  // -u: replace it when the entry is newer
};

struct CommandLine {
  Command command = Command::Help;
  std::string archive;      // as named; "-" is standard input
  std::string archiveFile;  // the file opened: archive, or where standard input went
  std::string destination = ".";
  std::string password;
  bool havePassword = false;
  Overwrite overwrite = Overwrite::Ask;
  bool junkPaths = false;
  bool quiet = false;
  bool keepCorrupt = false;
  std::vector<std::string> masks;       // empty: every entry
  std::vector<std::string> exclusions;  // -x masks

  bool ArchiveOnStdin() const { return archive == "-"; }
  const std::string& FileToOpen() const { return archiveFile.empty() ? archive : archiveFile; }
};

}  // namespace zfx
