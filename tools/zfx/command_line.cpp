// The zfx command line:
//   zfx x [-d DIR] [-P PASSWORD] [-o | -n | -u] [-j] [-x MASK]... [-q]
//         [--keep-corrupt] ARCHIVE [MASK...]
//   zfx t [-P PASSWORD] [-x MASK]... [-q] ARCHIVE [MASK...]
//   zfx l [-x MASK]... ARCHIVE [MASK...]
//   zfx --help | --version
// Options may stand anywhere after the command; one-letter options may be
// grouped as unzip users type them ("-qo"), the last of a group taking the
// next argument when it takes a value ("-qd DIR"). "--" ends the options,
// so that an archive or mask beginning with "-" can still be named; "-" is
// standard input.
#include "command_line.h"

#include <string_view>

#include "arguments.h"

namespace zfx {

namespace {

bool TakesValue(const std::string& option) {
  return option == "-d" || option == "-P" || option == "-x";
}

// The options each command takes.
bool AppliesTo(Command command, const std::string& option) {
  if (option == "-x") return true;
  if (command == Command::List) return false;
  if (option == "-P" || option == "-q") return true;
  return command == Command::Extract;
}

// "-qo" as "-q" "-o": a group of known one-letter options, of which only the
// last may take a value.
std::vector<std::string> UngroupOptions(const std::vector<std::string>& args) {
  static constexpr std::string_view kLetters = "dPxonujq";
  std::vector<std::string> out;
  bool optionsEnded = false, valueNext = false;
  for (const std::string& arg : args) {
    if (valueNext) {  // an option's value, whatever it looks like
      out.push_back(arg);
      valueNext = false;
      continue;
    }
    bool group = !optionsEnded && arg.size() > 2 && arg[0] == '-' && arg[1] != '-';
    for (size_t i = 1; group && i < arg.size(); ++i)
      group = kLetters.find(arg[i]) != std::string_view::npos &&
              (i + 1 == arg.size() || !TakesValue(std::string("-") + arg[i]));
    if (group) {
      for (size_t i = 1; i < arg.size(); ++i) out.push_back(std::string("-") + arg[i]);
    } else {
      if (arg == "--") optionsEnded = true;
      out.push_back(arg);
    }
    valueNext = !optionsEnded && TakesValue(out.back());
  }
  return out;
}

void Apply(const zftool::Option& option, CommandLine& cmd) {
  const std::string& name = option.name;
  if (name == "-d") cmd.destination = option.value;
  else if (name == "-P") cmd.password = option.value, cmd.havePassword = true;
  else if (name == "-x") cmd.exclusions.push_back(option.value);
  else if (name == "-o") cmd.overwrite = Overwrite::Always;
  else if (name == "-n") cmd.overwrite = Overwrite::Never;
  else if (name == "-u") cmd.overwrite = Overwrite::IfNewer;
  else if (name == "-j") cmd.junkPaths = true;
  else if (name == "-q") cmd.quiet = true;
  else if (name == "--keep-corrupt") cmd.keepCorrupt = true;
}

bool Known(const std::string& option) {
  static const char* const kOptions[] = {"-d", "-P", "-x", "-o", "-n", "-u", "-j", "-q",
                                         "--keep-corrupt"};
  for (const char* known : kOptions)
    if (option == known) return true;
  return false;
}

const char* VerbOf(Command command) {
  switch (command) {
    case Command::Extract: return "x";
    case Command::Test: return "t";
    case Command::List: return "l";
    default: return "";
  }
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& cmd, std::string& error) {
  cmd = CommandLine{};
  if (args.empty()) {
    error = "no command given";
    return false;
  }
  const std::string& verb = args[0];
  if (verb == "-h" || verb == "--help" || verb == "help") {
    cmd.command = Command::Help;
    return true;
  }
  if (verb == "--version") {
    cmd.command = Command::Version;
    return true;
  }
  if (verb == "x") {
    cmd.command = Command::Extract;
  } else if (verb == "t") {
    cmd.command = Command::Test;
  } else if (verb == "l") {
    cmd.command = Command::List;
  } else {
    error = "unknown command \"" + verb + "\"";
    return false;
  }

  zftool::SplitCommandLine split;
  const auto never = [](const std::string&) { return false; };
  if (!zftool::SplitArguments(UngroupOptions({args.begin() + 1, args.end()}), TakesValue, never,
                              split, error))
    return false;
  for (const zftool::Option& option : split.options) {
    if (!Known(option.name)) {
      error = "unknown option " + option.name;
      return false;
    }
    if (!AppliesTo(cmd.command, option.name)) {
      error = "option " + option.name + " does not apply to \"" + VerbOf(cmd.command) + "\"";
      return false;
    }
    Apply(option, cmd);
  }
  const std::vector<std::string>& operands = split.operands;
  if (operands.empty()) {
    error = "no archive given";
    return false;
  }
  cmd.archive = operands[0];
  cmd.masks.assign(operands.begin() + 1, operands.end());
  for (const std::string& mask : cmd.masks) {
    if (mask.empty()) {
      error = "an empty mask selects nothing";
      return false;
    }
  }
  return true;
}

std::string UsageText() {
  return "usage: zfx x [-d DIR] [-P PASSWORD] [-o | -n | -u] [-j] [-x MASK]... [-q]\n"
         "             [--keep-corrupt] ARCHIVE [MASK...]\n"
         "       zfx t [-P PASSWORD] [-x MASK]... [-q] ARCHIVE [MASK...]\n"
         "       zfx l [-x MASK]... ARCHIVE [MASK...]\n"
         "       zfx --help | --version\n"
         "\n"
         "  x   extract the entries matching the masks (default *.*) into DIR (default .);\n"
         "      a folder's name as a mask extracts all of it\n"
         "  t   test them: decode and check each, write nothing\n"
         "  l   list them with their sizes, method, date, attributes and CRC-32\n"
         "\n"
         "  ARCHIVE  the archive; - reads it from standard input\n"
         "  -d DIR          destination folder, created when missing\n"
         "  -P PASSWORD     password for encrypted entries\n"
         "  -o              overwrite existing files without asking\n"
         "  -n              never overwrite existing files\n"
         "  -u              overwrite only when the entry is newer\n"
         "                  (none of the three: ask on a terminal; without one,\n"
         "                  keep the file and say so)\n"
         "  -j              junk the stored folders: every file lands in DIR\n"
         "  -x MASK         leave out the entries matching MASK (may be repeated)\n"
         "  -q              quiet: only errors are printed\n"
         "  --keep-corrupt  keep files whose size or CRC-32 check failed\n"
         "One-letter options may be grouped: -qo is -q -o.\n"
         "\n"
         "Exit status: 0 all selected entries extracted (tested, listed), 1 some failed,\n"
         "were skipped or kept, or the archive is cut short, 2 the archive could not be\n"
         "opened or the command line is wrong, 3 aborted.\n";
}

}  // namespace zfx
