// The switches of setup.exe and of its uninstaller.
#include "wizard/SetupOptions.h"

#include <charconv>
#include <string_view>

#include "wizard/Languages.h"

namespace setup {
namespace {

// ASCII case folding only: every switch name is ASCII, and the Turkish
// locale must not turn "/SILENT" into something else.
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    const auto a = static_cast<unsigned char>(text[i]), b = static_cast<unsigned char>(prefix[i]);
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    if (lower(a) != lower(b)) return false;
  }
  return true;
}

bool IsSwitch(std::string_view text, std::string_view name) {
  return text.size() == name.size() && StartsWithIgnoringCase(text, name);
}

// The value after "NAME=", when text is that switch with a value.
std::optional<std::string> ValueOf(std::string_view text, std::string_view nameWithEquals) {
  if (!StartsWithIgnoringCase(text, nameWithEquals)) return std::nullopt;
  return std::string(text.substr(nameWithEquals.size()));
}

template <typename T>
bool ParseNumber(const std::string& text, T& out) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, out);
  return ec == std::errc() && ptr == end;
}

}  // namespace

bool ParseSwitches(const std::vector<std::string>& args, SwitchSet set, TSetupOptions& options,
                   std::string& bad) {
  const bool setupOnly = set == SwitchSet::Setup;
  for (const std::string& arg : args) {
    bad = arg;
    if (IsSwitch(arg, "/SILENT")) {
      options.silent = true;
    } else if (IsSwitch(arg, "/VERYSILENT")) {
      options.verySilent = true;
    } else if (IsSwitch(arg, "/SUPPRESSMSGBOXES")) {
      options.suppressMsgBoxes = true;
    } else if (IsSwitch(arg, "/?")) {
      options.help = true;
    } else if (auto code = ValueOf(arg, "/LANG=")) {
      options.language = LanguageFromCode(*code);
      if (!options.language) return false;
    } else if (auto log = ValueOf(arg, "/LOG=")) {
      if (log->empty()) return false;
      options.logFile = *log;
    } else if (auto dir = setupOnly ? ValueOf(arg, "/DIR=") : std::nullopt) {
      if (dir->empty()) return false;
      options.dir = *dir;
    } else if (setupOnly && IsSwitch(arg, "/NOICONS")) {
      options.noIcons = true;
    } else if (setupOnly && (IsSwitch(arg, "/SP-") || IsSwitch(arg, "/NORESTART"))) {
      // Accepted for the manifests that pass them; nothing to do.
    } else if (setupOnly && IsSwitch(arg, "/RUN")) {
      options.run = true;
    } else if (setupOnly && (IsSwitch(arg, "/DESKTOP") || IsSwitch(arg, "/NODESKTOP"))) {
      options.desktop = IsSwitch(arg, "/DESKTOP");
    } else if (setupOnly && IsSwitch(arg, "/ALLUSERS")) {
      options.scope = InstallScope::AllUsers;
    } else if (setupOnly && IsSwitch(arg, "/CURRENTUSER")) {
      options.scope = InstallScope::CurrentUser;
    } else if (IsSwitch(arg, kElevatedSwitch)) {
      options.elevatedCopy = true;
    } else if (auto pid = !setupOnly ? ValueOf(arg, kCleanUpAfterSwitch) : std::nullopt) {
      if (!ParseNumber(*pid, options.cleanUpAfter)) return false;
    } else if (auto file = !setupOnly ? ValueOf(arg, kCleanUpFileSwitch) : std::nullopt) {
      options.cleanUpFile = *file;
    } else if (auto to = !setupOnly ? ValueOf(arg, kCleanUpFoldersSwitch) : std::nullopt) {
      options.cleanUpFoldersTo = *to;
    } else {
      return false;
    }
  }
  bad.clear();
  return true;
}

std::vector<std::string> ElevatedSwitches(const TSetupOptions& o, SwitchSet set) {
  std::vector<std::string> args;
  const auto flag = [&](bool on, const char* name) {
    if (on) args.emplace_back(name);
  };
  flag(o.silent, "/SILENT");
  flag(o.verySilent, "/VERYSILENT");
  flag(o.suppressMsgBoxes, "/SUPPRESSMSGBOXES");
  if (o.language) args.push_back("/LANG=" + std::string(TextsFor(*o.language).code));
  if (o.logFile) args.push_back("/LOG=" + *o.logFile);
  if (set == SwitchSet::Setup) {
    if (o.dir) args.push_back("/DIR=" + *o.dir);
    flag(o.noIcons, "/NOICONS");
    flag(o.run, "/RUN");
    if (o.desktop) args.emplace_back(*o.desktop ? "/DESKTOP" : "/NODESKTOP");
    if (o.scope)
      args.emplace_back(*o.scope == InstallScope::AllUsers ? "/ALLUSERS" : "/CURRENTUSER");
  }
  args.emplace_back(kElevatedSwitch);
  return args;
}

std::string UsageText(SwitchSet set, const TWizardTexts& texts) {
  return std::string(set == SwitchSet::Uninstaller ? texts.uninstallerUsage : texts.setupUsage);
}

}  // namespace setup
