// Parsing of the zfx command line and its usage text.
#pragma once

#include <string>
#include <vector>

#include "zfx.h"

namespace zfx {

// Fills cmd from the arguments after the program name. False with a reason
// in error when the command line is wrong.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& cmd, std::string& error);

// The usage text, ending with a newline.
std::string UsageText();

}  // namespace zfx
