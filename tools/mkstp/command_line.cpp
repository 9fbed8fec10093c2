// The mkstp command line:
//   mkstp [-o OUTDIR] [--base NAME] [--setup PATH] [--name TEXT]
//         [--publisher TEXT] [--web URL] [--comment TEXT] [--picture FILE.bmp]
//         [--languages ru,en] [--name.en TEXT] [--publisher.en TEXT]
//         [--web.en URL] [--comment.en TEXT]
//         [--level 0-9] [--ini-codepage N] [--oem-codepage N] [--no-verify]
//         [-q] SOURCE_DIR
// Options may stand before or after the folder; "--" ends them.
#include "command_line.h"

#include <cstdlib>

#include "arguments.h"
#include "package/PackageFormat.h"
#include "stored_names.h"
#include "wizard/Languages.h"

namespace mkstp {

namespace {

// The texts of the configuration: the option and the key it writes. Each
// may be given in English too, as OPTION.en (the key "KEY.en").
struct TextOption {
  const char* option;
  std::string_view key;
};
constexpr TextOption kTextOptions[] = {
    {"--publisher", setup::kKeyPublisher},
    {"--web", setup::kKeyWeb},
    {"--name", setup::kKeyName},
    {"--comment", setup::kKeyComment},
};
constexpr std::string_view kEnglishSuffix = ".en";

// The configuration key of an English text option ("--name.en" gives
// "name.en"), or "" for any other option.
std::string EnglishTextKey(const std::string& option) {
  if (!option.ends_with(kEnglishSuffix)) return "";
  const std::string plain = option.substr(0, option.size() - kEnglishSuffix.size());
  for (const TextOption& t : kTextOptions)
    if (plain == t.option) return setup::LocalizedKey(t.key, "en");
  return "";
}

bool IsText(const std::string& option) {
  return option == "--name" || option == "--publisher" || option == "--web" ||
         option == "--comment" || !EnglishTextKey(option).empty();
}

bool TakesValue(const std::string& option) {
  return option == "-o" || option == "--base" || option == "--setup" || IsText(option) ||
         option == "--picture" || option == "--level" || option == "--ini-codepage" ||
         option == "--oem-codepage" || option == "--languages";
}

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

bool Apply(const std::string& option, const std::string& value, Options& o, std::string& error) {
  long number = 0;
  if (option == "-o") {
    o.outDir = value;
  } else if (option == "--base") {
    if (!ValidBase(value)) {
      error = "--base needs a plain file name without a folder or extension";
      return false;
    }
    o.base = value;
  } else if (option == "--setup") {
    o.setupPath = value;
  } else if (option == "--name") {
    o.name = value, o.haveName = true;
  } else if (option == "--publisher") {
    o.publisher = value, o.havePublisher = true;
  } else if (option == "--web") {
    o.web = value, o.haveWeb = true;
  } else if (option == "--comment") {
    o.comment = value, o.haveComment = true;
  } else if (option == "--languages") {
    if (!NormalLanguages(value, o.languages)) {
      error = "--languages takes a list of ru and en, such as ru,en";
      return false;
    }
  } else if (const std::string key = EnglishTextKey(option); !key.empty()) {
    o.localizedTexts[key] = value;
  } else if (option == "--picture") {
    o.picture = value;
  } else if (option == "--level") {
    if (!ParseNumber(value, 0, 9, number)) {
      error = "--level takes a number from 0 to 9";
      return false;
    }
    o.level = static_cast<int>(number);
  } else if (option == "--ini-codepage" || option == "--oem-codepage") {
    if (!ParseNumber(value, 1, 65535, number)) {
      error = option + " takes a code page number";
      return false;
    }
    (option == "--ini-codepage" ? o.iniCodePage : o.nameCodePage) = static_cast<unsigned>(number);
  } else if (option == "--no-verify") {
    o.verify = false;
  } else if (option == "-q") {
    o.quiet = true;
  } else {
    error = "unknown option " + option;
    return false;
  }
  return true;
}

}  // namespace

Parsed ParseCommandLine(const std::vector<std::string>& args, Options& options,
                        std::string& error) {
  options = Options{};
  zftool::SplitCommandLine split;
  // Configuration texts may be empty on purpose; paths may not.
  if (!zftool::SplitArguments(args, TakesValue, IsText, split, error)) return Parsed::Error;
  for (const zftool::Option& option : split.options) {
    if (option.name == "-h" || option.name == "--help") return Parsed::Help;
    if (!Apply(option.name, option.value, options, error)) return Parsed::Error;
  }
  // English texts in a package that speaks no English would never show.
  const auto languages = setup::ParseLanguageList(options.languages);
  const bool english = languages && languages->Has(setup::Language::English);
  for (const zftool::Option& option : split.options) {
    if (!english && !EnglishTextKey(option.name).empty()) {
      error = option.name + ": an English text needs --languages with en";
      return Parsed::Error;
    }
  }
  const std::vector<std::string>& operands = split.operands;
  if (operands.empty()) {
    error = "no source folder given";
    return Parsed::Error;
  }
  if (operands.size() > 1) {
    error = "only one source folder may be given";
    return Parsed::Error;
  }
  options.source = operands[0];
  return Parsed::Run;
}

std::string UsageText() {
  return "usage: mkstp [-o OUTDIR] [--base NAME] [--setup PATH] [--name TEXT]\n"
         "             [--publisher TEXT] [--web URL] [--comment TEXT] [--picture FILE.bmp]\n"
         "             [--languages ru,en] [--name.en TEXT] [--publisher.en TEXT]\n"
         "             [--web.en URL] [--comment.en TEXT]\n"
         "             [--level 0-9] [--ini-codepage N] [--oem-codepage N] [--no-verify]\n"
         "             [-q] SOURCE_DIR\n"
         "\n"
         "Makes the setup package OUTDIR/NAME.stp from every file and folder of\n"
         "SOURCE_DIR, and puts a copy of the setup wizard beside it as OUTDIR/NAME.exe.\n"
         "\n"
         "  -o OUTDIR            where the two files go (default .)\n"
         "  --base NAME          their base name (default setup)\n"
         "  --setup PATH         the wizard to copy, a Windows program (default setup.exe\n"
         "                       beside mkstp)\n"
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
         "  --level 0-9          deflate level (default 9)\n"
         "  --ini-codepage N     code page of the configuration texts (default 1251)\n"
         "  --oem-codepage N     store the names in this OEM code page, without the\n"
         "                       UTF-8 flag, for old readers (default: UTF-8 names,\n"
         "                       flagged as such)\n"
         "  --no-verify          do not read the package back to check it\n"
         "  -q                   quiet: only errors and warnings\n"
         "\n"
         "Exit status: 0 written, 1 failed (nothing left behind), 2 wrong command line.\n";
}

}  // namespace mkstp
