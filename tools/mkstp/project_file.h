// A build described in a file kept with the product (mkstp --project):
//
//   ; the product's setup
//   [mkstp]
//   source = dist/product
//   name = Hello
//   version = 2.1.0
//   single-file = yes
//
// One "key = value" a line; each key is one of mkstp's long options
// without its "--" (the option table of command_line.h, so every option
// is a key, the ones added later too), and "source" is the product folder.
// Blanks around keys and values go; a value in double quotes keeps its
// blanks. A switch takes yes or no (true/false, on/off, 1/0). Paths are
// relative to the file's own folder, so the file means the same wherever
// mkstp runs. Lines starting with ";" or "#" are comments; the one section
// header allowed is "[mkstp]". The file is UTF-8 (a byte-order mark is
// skipped). The command line's options are applied after the file's, so
// they win (CI sets --version so).
#pragma once

#include <string>
#include <vector>

#include "arguments.h"

namespace mkstp {

// The file's options, as the command line would give them, and its source
// folder ("" when it names none). False with `error` ("FILE:LINE: why")
// when the file cannot be read, or a line is no option or has a bad value.
bool ReadProjectFile(const std::string& path, std::vector<zftool::Option>& options,
                     std::string& source, std::string& error);

}  // namespace mkstp
