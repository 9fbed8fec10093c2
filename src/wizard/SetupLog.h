// The log asked for with /LOG="file": one line per step, per file and per
// error, in UTF-8, each with the local date and time. The file is
// replaced at the start of the run and every line is written through at
// once, so a run that dies leaves its log up to the last step.
//
// A log that was not asked for, or whose file cannot be made, takes the
// lines and writes nothing: logging never stops an install.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace setup {

class TSetupLog {
 public:
  TSetupLog() = default;
  // Opens (replaces) the log file, or with `append` adds to the one there
  // (the elevated copy goes on with the log of the run that started it);
  // `path` is UTF-8. False when it cannot be made (the log then stays
  // closed).
  bool Open(const std::string& path, bool append = false);
  bool IsOpen() const { return file_.IsOpen(); }
  // Lets go of the file, for a copy of the program that writes it on.
  void Close() { file_.Close(); }
  // One line, UTF-8; line breaks inside it become spaces.
  void Line(const std::string& text);

 private:
  zf::os::File file_;
};

}  // namespace setup
