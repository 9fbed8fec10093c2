// The mkstp command line:
//   mkstp [--project FILE] [-o OUTDIR] [--base NAME] [--setup PATH] [--single-file]
//         [--name TEXT] [--publisher TEXT] [--web URL] [--comment TEXT]
//         [--picture FILE.bmp] [--languages ru,en] [--name.en TEXT]
//         [--publisher.en TEXT] [--web.en URL] [--comment.en TEXT]
//         [--id ID] [--version VERSION] [--sign COMMAND]
//         [--run PROG.exe] [--desktop-shortcut PROG.exe]
//         [--privileges admin|lowest|both]
//         [--level 0-9] [--ini-codepage N] [--oem-codepage N] [--no-verify]
//         [-q] SOURCE_DIR
// Options may stand before or after the folder; "--" ends them.
#include "command_line.h"

#include <cstdlib>

#include "arguments.h"
#include "package/PackageFormat.h"
#include "project_file.h"
#include "stored_names.h"
#include "wizard/InstallScope.h"
#include "wizard/Languages.h"

namespace mkstp {

namespace {

// The list as the configuration writes it: lower case, Russian first.
bool NormalLanguages(const std::string& list, std::string& out) {
  const auto set = setup::ParseLanguageList(list);
  if (!set) return false;
  out.clear();
  for (setup::Language language : {setup::Language::Russian, setup::Language::English}) {
    if (!set->Has(language)) continue;
    if (!out.empty()) out += ',';
    out += setup::TextsFor(language).code;
  }
  return true;
}

// A whole decimal number from min to max, or false.
bool ParseNumber(const std::string& text, long min, long max, long& value) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  value = std::strtol(text.c_str(), nullptr, 10);
  return value >= min && value <= max;
}

// A base name must be a plain file name: the wizard derives the package
// from it, and it names the Start-menu group and the default folder.
bool ValidBase(const std::string& base) {
  if (base.empty() || base == "." || base == "..") return false;
  for (char c : base)
    if (c == '/' || RefusedByWindows(c)) return false;
  return base.back() != '.' && base.back() != ' ';
}

bool SetCodePage(unsigned& codePage, const char* option, const std::string& value,
                 std::string& error) {
  long number = 0;
  if (!ParseNumber(value, 1, 65535, number)) {
    error = std::string(option) + " takes a code page number";
    return false;
  }
  codePage = static_cast<unsigned>(number);
  return true;
}

constexpr OptionRule kOptions[] = {
    {"--project", ValueKind::Path, [](Options&, const std::string&, std::string&) {
       return true;  // read before every other option (ParseCommandLine)
     }},
    {"--output", ValueKind::Path,
     [](Options& o, const std::string& v, std::string&) { return o.outDir = v, true; }},
    {"-o", ValueKind::Path,
     [](Options& o, const std::string& v, std::string&) { return o.outDir = v, true; }},
    {"--base", ValueKind::Word,
     [](Options& o, const std::string& v, std::string& error) {
       if (!ValidBase(v)) {
         error = "--base needs a plain file name without a folder or extension";
         return false;
       }
       return o.base = v, true;
     }},
    {"--setup", ValueKind::Path,
     [](Options& o, const std::string& v, std::string&) { return o.setupPath = v, true; }},
    {"--single-file", ValueKind::None,
     [](Options& o, const std::string&, std::string&) { return o.singleFile = true; }},
    {"--name", ValueKind::Text,
     [](Options& o, const std::string& v, std::string&) {
       return o.name = v, o.haveName = true;
     }},
    {"--publisher", ValueKind::Text,
     [](Options& o, const std::string& v, std::string&) {
       return o.publisher = v, o.havePublisher = true;
     }},
    {"--web", ValueKind::Text,
     [](Options& o, const std::string& v, std::string&) { return o.web = v, o.haveWeb = true; }},
    {"--comment", ValueKind::Text,
     [](Options& o, const std::string& v, std::string&) {
       return o.comment = v, o.haveComment = true;
     }},
    {"--picture", ValueKind::Path,
     [](Options& o, const std::string& v, std::string&) { return o.picture = v, true; }},
    {"--languages", ValueKind::Word,
     [](Options& o, const std::string& v, std::string& error) {
       if (!NormalLanguages(v, o.languages)) {
         error = "--languages takes a list of ru and en, such as ru,en";
         return false;
       }
       return true;
     }},
    // The texts in English: the configuration keys "name.en" and so on.
    {"--name.en", ValueKind::Text,
     [](Options& o, const std::string& v, std::string&) {
       return o.localizedTexts[setup::LocalizedKey(setup::kKeyName, "en")] = v, true;
     }},
    {"--publisher.en", ValueKind::Text,
     [](Options& o, const std::string& v, std::string&) {
       return o.localizedTexts[setup::LocalizedKey(setup::kKeyPublisher, "en")] = v, true;
     }},
    {"--web.en", ValueKind::Text,
     [](Options& o, const std::string& v, std::string&) {
       return o.localizedTexts[setup::LocalizedKey(setup::kKeyWeb, "en")] = v, true;
     }},
    {"--comment.en", ValueKind::Text,
     [](Options& o, const std::string& v, std::string&) {
       return o.localizedTexts[setup::LocalizedKey(setup::kKeyComment, "en")] = v, true;
     }},
    {"--id", ValueKind::Word,
     [](Options& o, const std::string& v, std::string& error) {
       if (!setup::IsValidProductId(v)) {
         error = "--id needs a GUID or a short name without \"\\\" (at most 255 bytes)";
         return false;
       }
       return o.id = v, true;
     }},
    {"--version", ValueKind::Word,
     [](Options& o, const std::string& v, std::string& error) {
       if (!setup::ParseVersion(v)) {
         error = "--version takes one to four numbers separated by dots, like 2.1.0";
         return false;
       }
       return o.version = v, true;
     }},
    {"--sign", ValueKind::Word,
     [](Options& o, const std::string& v, std::string& error) {
       if (v.find("{file}") == std::string::npos) {
         error = "--sign needs {file} in its command, where the file to sign goes";
         return false;
       }
       return o.signCommand = v, true;
     }},
    // What the wizard offers beyond its pages: programs by their path in
    // the source (checked against it when the package is built).
    {"--run", ValueKind::Word,
     [](Options& o, const std::string& v, std::string&) { return o.run = v, true; }},
    {"--desktop-shortcut", ValueKind::Word,
     [](Options& o, const std::string& v, std::string&) { return o.desktopShortcut = v, true; }},
    {"--privileges", ValueKind::Word,
     [](Options& o, const std::string& v, std::string& error) {
       const auto privileges = setup::ParsePrivileges(v);
       if (v.empty() || !privileges) {
         error = "--privileges takes admin, lowest or both";
         return false;
       }
       // All users is what a package without the key does.
       o.privileges = *privileges == setup::Privileges::Lowest ? "lowest"
                      : *privileges == setup::Privileges::Both ? "both"
                                                               : "";
       return true;
     }},
    {"--level", ValueKind::Word,
     [](Options& o, const std::string& v, std::string& error) {
       long number = 0;
       if (!ParseNumber(v, 0, 9, number)) {
         error = "--level takes a number from 0 to 9";
         return false;
       }
       return o.level = static_cast<int>(number), true;
     }},
    {"--ini-codepage", ValueKind::Word,
     [](Options& o, const std::string& v, std::string& error) {
       return SetCodePage(o.iniCodePage, "--ini-codepage", v, error);
     }},
    {"--oem-codepage", ValueKind::Word,
     [](Options& o, const std::string& v, std::string& error) {
       return SetCodePage(o.nameCodePage, "--oem-codepage", v, error);
     }},
    {"--no-verify", ValueKind::None,
     [](Options& o, const std::string&, std::string&) { return o.verify = false, true; }},
    {"--quiet", ValueKind::None,
     [](Options& o, const std::string&, std::string&) { return o.quiet = true; }},
    {"-q", ValueKind::None,
     [](Options& o, const std::string&, std::string&) { return o.quiet = true; }},
};

bool Apply(const std::vector<zftool::Option>& given, Options& options, std::string& error) {
  for (const zftool::Option& option : given) {
    const OptionRule* rule = FindOption(option.name);
    if (rule == nullptr) {
      error = "unknown option " + option.name;
      return false;
    }
    if (!rule->apply(options, option.value, error)) return false;
  }
  return true;
}

}  // namespace

std::span<const OptionRule> OptionTable() { return kOptions; }

const OptionRule* FindOption(const std::string& name) {
  for (const OptionRule& rule : kOptions)
    if (name == rule.name) return &rule;
  return nullptr;
}

Parsed ParseCommandLine(const std::vector<std::string>& args, Options& options,
                        std::string& error) {
  options = Options{};
  zftool::SplitCommandLine split;
  const auto takesValue = [](const std::string& name) {
    const OptionRule* rule = FindOption(name);
    return rule != nullptr && rule->value != ValueKind::None;
  };
  // Configuration texts may be empty on purpose; paths may not.
  const auto mayBeEmpty = [](const std::string& name) {
    const OptionRule* rule = FindOption(name);
    return rule != nullptr && rule->value == ValueKind::Text;
  };
  if (!zftool::SplitArguments(args, takesValue, mayBeEmpty, split, error)) return Parsed::Error;
  std::string project;
  for (const zftool::Option& option : split.options) {
    if (option.name == "-h" || option.name == "--help") return Parsed::Help;
    if (option.name == "--project") {
      if (!project.empty()) {
        error = "only one --project may be given";
        return Parsed::Error;
      }
      project = option.value;
    }
  }

  std::string source;
  std::vector<zftool::Option> fromFile;
  if (!project.empty()) {
    if (!ReadProjectFile(project, fromFile, source, error)) return Parsed::Error;
    if (!Apply(fromFile, options, error)) {
      error = project + ": " + error;
      return Parsed::Error;
    }
  }
  if (!Apply(split.options, options, error)) return Parsed::Error;
  // English texts in a package that speaks no English would never show.
  const auto languages = setup::ParseLanguageList(options.languages);
  if (!(languages && languages->Has(setup::Language::English))) {
    for (const auto* given : {&fromFile, &split.options})
      for (const zftool::Option& option : *given)
        if (option.name.ends_with(".en")) {
          error = option.name + ": an English text needs --languages with en";
          return Parsed::Error;
        }
  }

  const std::vector<std::string>& operands = split.operands;
  if (operands.size() > 1) {
    error = "only one source folder may be given";
    return Parsed::Error;
  }
  if (!operands.empty()) source = operands[0];
  if (source.empty()) {
    error = "no source folder given";
    return Parsed::Error;
  }
  options.source = source;
  return Parsed::Run;
}

bool TakeSourceDateEpoch(const char* value, Options& options) {
  if (value == nullptr) return true;
  const std::string text = value;
  if (text.empty() || text.size() > 15) return false;
  int64_t seconds = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    seconds = seconds * 10 + (c - '0');
  }
  options.sourceDateEpoch = seconds;
  return true;
}

std::string UsageText() {
  return "usage: mkstp [--project FILE] [-o OUTDIR] [--base NAME] [--setup PATH]\n"
         "             [--single-file] [--name TEXT] [--publisher TEXT] [--web URL]\n"
         "             [--comment TEXT] [--picture FILE.bmp] [--languages ru,en]\n"
         "             [--name.en TEXT] [--publisher.en TEXT] [--web.en URL]\n"
         "             [--comment.en TEXT] [--id ID] [--version VERSION]\n"
         "             [--sign COMMAND] [--run PROG.exe] [--desktop-shortcut PROG.exe]\n"
         "             [--privileges admin|lowest|both]\n"
         "             [--level 0-9] [--ini-codepage N] [--oem-codepage N]\n"
         "             [--no-verify] [-q] SOURCE_DIR\n"
         "\n"
         "Makes the setup package OUTDIR/NAME.stp from every file and folder of\n"
         "SOURCE_DIR, and puts a copy of the setup wizard beside it as OUTDIR/NAME.exe\n"
         "(with --single-file, OUTDIR/NAME.exe alone, the package inside it).\n"
         "\n"
         "  --project FILE       read the options from FILE, one \"key = value\" a line\n"
         "                       (each long option without \"--\", the folder as\n"
         "                       \"source\"); the command line overrides it\n"
         "  -o, --output OUTDIR  where the files go (default .)\n"
         "  --base NAME          their base name (default setup)\n"
         "  --setup PATH         the wizard to copy, a Windows program (default setup.exe\n"
         "                       beside mkstp)\n"
         "  --single-file        one file: NAME.exe with the package inside\n"
         "  --name TEXT          product name shown by the wizard\n"
         "  --publisher TEXT     publisher, the hint of the web link\n"
         "  --web URL            web link\n"
         "  --comment TEXT       welcome text\n"
         "  --picture FILE.bmp   picture of the welcome page\n"
         "  --languages LIST     the wizard's languages, ru and en (default ru): it\n"
         "                       speaks Russian to Russian, Ukrainian and Belarusian\n"
         "                       users and English to everybody else\n"
         "  --name.en TEXT, --publisher.en TEXT, --web.en URL, --comment.en TEXT\n"
         "                       the texts in English (the plain ones are Russian, and\n"
         "                       serve where no English one is given)\n"
         "  --id ID              the product's id, a GUID or a short name: its key in\n"
         "                       Add/Remove Programs (default: NAME)\n"
         "  --version VERSION    the product's version, like 2.1.0; with --id, an\n"
         "                       install upgrades the one installed before\n"
         "  --sign COMMAND       sign what ships, last: COMMAND runs with {file}\n"
         "                       replaced by the file to sign\n"
         "  --run PROG.exe       the final page offers to start this program of the\n"
         "                       source (checked; a silent install starts it with /RUN)\n"
         "  --desktop-shortcut PROG.exe\n"
         "                       the folder page offers a desktop shortcut to it\n"
         "  --privileges WHO     admin (default): for all users, with administrator\n"
         "                       rights; lowest: for the user who runs setup, without\n"
         "                       them; both: the user chooses\n"
         "  --level 0-9          deflate level (default 9)\n"
         "  --ini-codepage N     code page of the configuration texts (default 1251)\n"
         "  --oem-codepage N     store the names in this OEM code page, without the\n"
         "                       UTF-8 flag, for old readers (default: UTF-8 names,\n"
         "                       flagged as such)\n"
         "  --no-verify          do not read the package back to check it\n"
         "  -q, --quiet          quiet: only errors and warnings\n"
         "\n"
         "SOURCE_DATE_EPOCH (seconds since 1970) makes the output reproducible: no\n"
         "entry time after it, the configuration's time it.\n"
         "\n"
         "Exit status: 0 written, 1 failed (nothing left behind), 2 wrong command line.\n";
}

}  // namespace mkstp
