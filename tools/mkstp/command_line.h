// The mkstp command line: one table of options, which a project file
// (--project, project_file.h) names by the same long names, and the usage
// text.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "mkstp.h"

namespace mkstp {

enum class Parsed { Run, Help, Error };

// What an option's value is, which also says how a project file gives it.
enum class ValueKind {
  None,  // a switch; a project file says yes or no
  Text,  // any text, empty too (a configuration text)
  Word,  // a value that may not be empty
  Path,  // a file or folder; in a project file, relative to the file's folder
};

// One option: its long name ("--name"; a short one like "-o" has a long
// twin), its value, and what it does to the options (false, with `error`
// set, for a value it refuses).
struct OptionRule {
  const char* name;
  ValueKind value;
  bool (*apply)(Options& options, const std::string& value, std::string& error);
};

// Every option, in the usage text's order.
std::span<const OptionRule> OptionTable();
// The option of that name, or null.
const OptionRule* FindOption(const std::string& name);

// Fills options from the arguments after the program name: a project
// file's options first, then the command line's, so the command line wins.
// Error carries a reason in error.
Parsed ParseCommandLine(const std::vector<std::string>& args, Options& options,
                        std::string& error);

// The value of SOURCE_DATE_EPOCH (whole seconds since 1970, UTC) into
// options; false for a value that is no such number.
bool TakeSourceDateEpoch(const char* value, Options& options);

// The usage text, ending with a newline.
std::string UsageText();

}  // namespace mkstp
