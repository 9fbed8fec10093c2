// An archive read from standard input ("-"). A file redirected there is
// opened by a name of its own; anything else (a pipe) is first copied to a
// temporary file, because an archive's directory is at its end and reading
// it needs seeking. The copy is removed when the object goes, also after
// Ctrl-C.
#pragma once

#include <string>

#include "console.h"
#include "zfx.h"

namespace zfx {

class StdinArchive {
 public:
  StdinArchive() = default;
  ~StdinArchive();
  StdinArchive(const StdinArchive&) = delete;
  StdinArchive& operator=(const StdinArchive&) = delete;

  // Sets cmd.archiveFile to what to open; false, with the reason printed,
  // when standard input cannot be read or copied.
  bool Prepare(CommandLine& cmd, Console& console);

 private:
  std::string copy_;  // the temporary file, when one was made
};

}  // namespace zfx
