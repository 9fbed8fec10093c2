// For whom a product installs: the package's rule and the switches.
#include "wizard/InstallScope.h"

#include "archive/ZFStrFunc.h"  // kPathDelim

namespace setup {
namespace {

bool SameAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::optional<Privileges> ParsePrivileges(std::string_view text) {
  if (text.empty() || SameAscii(text, "admin")) return Privileges::Admin;
  if (SameAscii(text, "lowest")) return Privileges::Lowest;
  if (SameAscii(text, "both")) return Privileges::Both;
  return std::nullopt;
}

std::optional<InstallScope> ChooseScope(Privileges privileges,
                                        std::optional<InstallScope> requested, bool elevated) {
  switch (privileges) {
    case Privileges::Admin:
      if (requested == InstallScope::CurrentUser) return std::nullopt;
      return InstallScope::AllUsers;
    case Privileges::Lowest:
      if (requested == InstallScope::AllUsers) return std::nullopt;
      return InstallScope::CurrentUser;
    case Privileges::Both:
      break;
  }
  if (requested) return requested;
  return elevated ? InstallScope::AllUsers : InstallScope::CurrentUser;
}

std::string DefaultInstallFolder(InstallScope scope, const std::string& programFiles,
                                 const std::string& localAppData, const std::string& base) {
  if (scope == InstallScope::AllUsers) return programFiles + base;
  return localAppData + "Programs" + zf::kPathDelim + base;
}

}  // namespace setup
