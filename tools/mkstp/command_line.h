// Parsing of the mkstp command line and its usage text.
#pragma once

#include <string>
#include <vector>

#include "mkstp.h"

namespace mkstp {

enum class Parsed { Run, Help, Error };

// Fills options from the arguments after the program name. Error carries a
// reason in error.
Parsed ParseCommandLine(const std::vector<std::string>& args, Options& options,
                        std::string& error);

// The usage text, ending with a newline.
std::string UsageText();

}  // namespace mkstp
