// A command line split into options and operands, the same way for every
// program: options may stand anywhere, an option that takes a value takes
// the next argument whatever it looks like, "--" ends the options (so that
// a name beginning with "-" can still be given), and "-" alone is an
// operand.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace zftool {

struct Option {
  std::string name;   // as written: "-d", "--level"
  std::string value;  // empty for an option without one
};

struct SplitCommandLine {
  std::vector<Option> options;  // in their order
  std::vector<std::string> operands;
};

// Splits args. takesValue names the options that take a value; a value may
// be empty only where mayBeEmpty says so. False with error set when a value
// is missing or empty.
bool SplitArguments(const std::vector<std::string>& args,
                    const std::function<bool(const std::string&)>& takesValue,
                    const std::function<bool(const std::string&)>& mayBeEmpty,
                    SplitCommandLine& out, std::string& error);

}  // namespace zftool
