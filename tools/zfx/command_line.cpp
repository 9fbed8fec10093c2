// The zfx command line:
//   zfx x [-d DIR] [-P PASSWORD] [-o | -n | -u] [-j] [-x MASK]... [-q]
//         [--keep-corrupt] ARCHIVE [MASK...]
//   zfx l ARCHIVE
// Options may stand anywhere after the command; "--" ends them, so that an
// archive or mask beginning with "-" can still be named.
#include "command_line.h"

#include "arguments.h"

namespace zfx {

namespace {

bool TakesValue(const std::string& option) {
  return option == "-d" || option == "-P" || option == "-x";
}

// Applies one extraction option; false when it is not one.
bool ApplyExtractOption(const std::string& option, const std::string& value, CommandLine& cmd) {
  if (option == "-d") {
    cmd.destination = value;
  } else if (option == "-P") {
    cmd.password = value;
    cmd.havePassword = true;
  } else if (option == "-x") {
    cmd.exclusions.push_back(value);
  } else if (option == "-o") {
    cmd.overwrite = zf::omAlways;
  } else if (option == "-n") {
    cmd.overwrite = zf::omNever;
  } else if (option == "-u") {
    cmd.overwrite = zf::omIfNewer;
  } else if (option == "-j") {
    cmd.junkPaths = true;
  } else if (option == "-q") {
    cmd.quiet = true;
  } else if (option == "--keep-corrupt") {
    cmd.keepCorrupt = true;
  } else {
    return false;
  }
  return true;
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
  if (verb == "x") {
    cmd.command = Command::Extract;
  } else if (verb == "l") {
    cmd.command = Command::List;
  } else {
    error = "unknown command \"" + verb + "\"";
    return false;
  }

  zftool::SplitCommandLine split;
  const auto never = [](const std::string&) { return false; };
  if (!zftool::SplitArguments({args.begin() + 1, args.end()}, TakesValue, never, split, error))
    return false;
  for (const zftool::Option& option : split.options) {
    if (cmd.command == Command::List) {
      error = "option " + option.name + " does not apply to \"l\"";
      return false;
    }
    if (!ApplyExtractOption(option.name, option.value, cmd)) {
      error = "unknown option " + option.name;
      return false;
    }
  }
  const std::vector<std::string>& operands = split.operands;

  if (operands.empty()) {
    error = "no archive given";
    return false;
  }
  cmd.archive = operands[0];
  if (cmd.command == Command::List && operands.size() > 1) {
    error = "\"l\" takes only the archive";
    return false;
  }
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
         "       zfx l ARCHIVE\n"
         "\n"
         "  x   extract the entries matching the masks (default *.*) into DIR (default .)\n"
         "  l   list the entries with their sizes, method, date, attributes and CRC-32\n"
         "\n"
         "  -d DIR          destination folder, created when missing\n"
         "  -P PASSWORD     password for encrypted entries\n"
         "  -o              overwrite existing files (the default)\n"
         "  -n              never overwrite existing files\n"
         "  -u              overwrite only when the entry is newer\n"
         "  -j              junk the stored folders: every file lands in DIR\n"
         "  -x MASK         skip the entries matching MASK (may be repeated)\n"
         "  -q              quiet: only errors are printed\n"
         "  --keep-corrupt  keep files whose size or CRC-32 check failed\n"
         "\n"
         "Exit status: 0 all selected entries extracted, 1 some failed or were skipped,\n"
         "2 the archive could not be opened or the command line is wrong, 3 aborted.\n";
}

}  // namespace zfx
