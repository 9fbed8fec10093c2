// Splitting a command line (see arguments.h).
#include "arguments.h"

namespace zftool {

bool SplitArguments(const std::vector<std::string>& args,
                    const std::function<bool(const std::string&)>& takesValue,
                    const std::function<bool(const std::string&)>& mayBeEmpty,
                    SplitCommandLine& out, std::string& error) {
  out = SplitCommandLine{};
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      out.operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    Option option{arg, std::string()};
    if (takesValue(arg)) {
      if (i + 1 >= args.size()) {
        error = "option " + arg + " needs a value";
        return false;
      }
      option.value = args[++i];
      if (option.value.empty() && !mayBeEmpty(arg)) {
        error = "option " + arg + " needs a non-empty value";
        return false;
      }
    }
    out.options.push_back(std::move(option));
  }
  return true;
}

}  // namespace zftool
