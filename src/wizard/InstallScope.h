// For whom a product installs: every user of the computer (per-machine,
// with administrator rights) or the user who runs setup (per-user, without
// them).
//
// The package says which it allows ("privileges" in its configuration):
// - admin (the default, as every package made before): per-machine only;
//   /CURRENTUSER is refused;
// - lowest: per-user only; /ALLUSERS is refused;
// - both: /ALLUSERS or /CURRENTUSER choose; without either, per-machine
//   when setup already runs with administrator rights, else per-user (no
//   elevation prompt the user did not ask for). The folder page offers the
//   choice as two radio buttons.
// A per-machine install goes into Program Files with its Add/Remove
// Programs entry in HKLM; a per-user one into
// %LOCALAPPDATA%\Programs\<name> with its entry in HKCU. The Start-menu
// group is the user's own Programs folder either way.
//
// Portable: the decisions only; elevation itself is the shell's.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace setup {

enum class Privileges { Admin, Lowest, Both };
enum class InstallScope { AllUsers, CurrentUser };

// "admin", "lowest" or "both" (any letter case); an empty text is admin.
std::optional<Privileges> ParsePrivileges(std::string_view text);

// The scope of a run, or nothing when the switch asks for one the package
// refuses.
std::optional<InstallScope> ChooseScope(Privileges privileges,
                                        std::optional<InstallScope> requested, bool elevated);

// The folder proposed for a product of base name `base`: under Program
// Files, or under the user's local application data in "Programs" (both
// given with their trailing separator).
std::string DefaultInstallFolder(InstallScope scope, const std::string& programFiles,
                                 const std::string& localAppData, const std::string& base);

}  // namespace setup
