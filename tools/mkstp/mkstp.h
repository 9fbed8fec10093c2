// What the parts of mkstp share: the parsed command line, the exit
// statuses, the one exception every failure travels in and the system's
// reason that ends its message.
#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>

#include "platform/platform.h"

namespace mkstp {

// The name code page that writes UTF-8 names with bit 11.
inline constexpr unsigned kUtf8Names = 65001;

enum ExitStatus : int {
  kExitOk = 0,       // both files written (and verified)
  kExitFailed = 1,   // nothing written: the message says why
  kExitUsage = 2,    // wrong command line
};

struct Options {
  std::string outDir = ".";
  std::string base = "setup";  // NAME of NAME.exe and NAME.stp
  std::string setupPath;       // the wizard to copy; empty: beside mkstp
  // NAME.exe alone, with the package inside it (--single-file).
  bool singleFile = false;
  // The product's id and version (--id, --version), written into the
  // configuration; empty: not written.
  std::string id, version;
  // The publisher's signing command (--sign), with {file} where the file
  // to sign goes; empty: nothing is signed.
  std::string signCommand;
  // SOURCE_DATE_EPOCH: no entry time after it, the configuration's time
  // it (a reproducible build); negative: not set.
  int64_t sourceDateEpoch = -1;
  // Configuration values, in the ANSI code page of the command line; a
  // value that was not given is not written (the wizard's default holds).
  bool haveName = false, havePublisher = false, haveWeb = false, haveComment = false;
  std::string name, publisher, web, comment;
  // The wizard's languages as the configuration names them ("ru,en");
  // empty: Russian only, and no key is written.
  std::string languages;
  // Texts in a language other than Russian, by their configuration key
  // ("name.en"); written after the Russian ones.
  std::map<std::string, std::string> localizedTexts;
  // What the wizard offers beyond its pages (empty: nothing): the program
  // started from the final page and the one that gets a desktop shortcut,
  // each a file of the source by its path in it; who it installs for
  // ("lowest" or "both"; empty: all users, as every package before).
  std::string run, desktopShortcut, privileges;
  std::string picture;         // a BMP file, or empty
  int level = 9;               // deflate level 0-9
  unsigned iniCodePage = 1251;
  // Code page of the stored names: UTF-8 (the default) flagged as such by
  // general-purpose bit 11, so the names install as they are on any
  // system; an OEM code page (--oem-codepage) for readers without bit 11.
  unsigned nameCodePage = kUtf8Names;
  bool verify = true;
  bool quiet = false;
  std::string source;          // SOURCE_DIR
};

// A failure that ends the run; what() is the whole message, naming the file
// concerned.
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The system's text for the last error, for the end of a Failure's message.
inline std::string SystemError() { return zf::os::ErrorText(zf::os::LastErrorCode()); }

}  // namespace mkstp
