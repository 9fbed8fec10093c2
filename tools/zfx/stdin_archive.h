// An archive read from standard input ("-"). A file redirected there is
// opened by a name of its own; anything else (a pipe) is first copied to a
// temporary file, because an archive's directory is at its end and reading
// it needs seeking. On Linux the copy loses its name as soon as it is made
// and is opened through its descriptor, so that nothing is left behind
// even by a second Ctrl-C or a kill; on Windows it is removed when the
// object goes.
#pragma once

#include <string>

#include "console.h"
#include "platform/platform.h"
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
  zf::os::File file_;  // the copy, open while the archive is read
  std::string copy_;   // its name, while it has one
};

}  // namespace zfx
