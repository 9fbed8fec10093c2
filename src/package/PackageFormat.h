// What the setup wizard and the package builder agree on about a package:
// the fixed password of its entries, the names of the configuration file
// and the picture inside it, the INI section and keys of the configuration,
// and how the package's name follows from the wizard's own.
//
// A package is NAME.stp beside the wizard NAME.exe: the wizard takes its
// own full path, drops the last three characters and appends "stp". The
// configuration is NAME.ins at the package's root (the package name with
// "ins" in place of "stp"), the picture "iconsetup.bmp" next to it.
//
// Portable and header-only: the wizard (Windows) and mkstp (both systems)
// include it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace setup {

// Every entry of a package is encrypted with the traditional PKWARE cipher
// under this password; the wizard knows no other.
inline constexpr std::string_view kPackagePassword = "vor krat unpackr lorimen K.t.";

// The last three characters of the wizard's and the configuration's names.
inline constexpr std::string_view kPackageSuffix = "stp";
inline constexpr std::string_view kConfigSuffix = "ins";
inline constexpr std::string_view kWizardExtension = ".exe";

// The optional picture of the welcome page, at the package's root.
inline constexpr std::string_view kPictureName = "iconsetup.bmp";

// The configuration file: one INI section with four texts, and the keys
// of what a package may ask for beyond them.
inline constexpr std::string_view kConfigSection = "zel";
inline constexpr std::string_view kKeyPublisher = "firma";  // hint of the web link
inline constexpr std::string_view kKeyWeb = "web";          // the web link
inline constexpr std::string_view kKeyName = "name";        // product name
inline constexpr std::string_view kKeyComment = "coment";   // welcome text
// The wizard's languages, "ru,en" (missing: Russian only).
inline constexpr std::string_view kKeyLanguages = "languages";
// What a package may ask of the wizard beyond its texts; each missing key
// asks for nothing, so a package made without them installs as before.
// A program of the product (its path inside the install folder, "\"
// between folders) to start from the final page ("Launch <name>").
inline constexpr std::string_view kKeyRun = "run";
// A program of the product that gets a shortcut on the desktop.
inline constexpr std::string_view kKeyDesktop = "desktop";
// Who the product installs for: "admin" (all users; the default),
// "lowest" (the user who runs setup) or "both" (the user chooses).
inline constexpr std::string_view kKeyPrivileges = "privileges";
// The four texts may come once per language: "name" is the Russian one
// and every language's default, "name.en" the English one.
inline std::string LocalizedKey(std::string_view key, std::string_view languageCode) {
  return std::string(key).append(".").append(languageCode);
}
// The product's id (the Add/Remove Programs key; default: the base name)
// and version (DisplayVersion). A package with either knows its earlier
// installs: it upgrades them (see the wizard's Unit1.h).
inline constexpr std::string_view kKeyId = "id";
inline constexpr std::string_view kKeyVersion = "version";
// What the wizard takes for a missing "web" key ("http://" is removed from
// the link's caption, so it shows nothing).
inline constexpr std::string_view kDefaultWeb = "http://";
// The wizard reads a value into a 2048-byte buffer: longer ones arrive cut.
inline constexpr size_t kMaxConfigValueBytes = 2047;

// A one-file setup carries a plain copy of the wizard (signed, when the
// publisher signs) as this root entry: the uninstaller it installs, where a
// two-file setup copies itself.
inline constexpr std::string_view kUninstallerEntry = "uninstall.exe";

// A product id: a GUID in braces or a short name, which becomes the name of
// a registry key: 1 to 255 bytes, no backslash, no control character.
inline bool IsValidProductId(std::string_view id) {
  if (id.empty() || id.size() > 255) return false;
  for (char c : id)
    if (c == '\\' || static_cast<unsigned char>(c) < 0x20) return false;
  return true;
}

// A version: one to four numbers of up to nine digits, separated by dots
// ("2", "2.1.0", "10.0.19041.1"). The parts in order; nothing when the text
// is no version.
inline std::optional<std::vector<uint32_t>> ParseVersion(std::string_view text) {
  std::vector<uint32_t> parts;
  size_t start = 0;
  for (;;) {
    const size_t dot = std::min(text.find('.', start), text.size());
    const std::string_view part = text.substr(start, dot - start);
    if (part.empty() || part.size() > 9 || parts.size() == 4) return std::nullopt;
    uint32_t value = 0;
    for (char c : part) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    parts.push_back(value);
    if (dot == text.size()) return parts;
    start = dot + 1;
  }
}

// Orders two versions part by part, a missing part counting as 0 ("2.1"
// is "2.1.0"): negative, zero or positive. A text that is no version (an
// install made before packages had versions) is older than every version.
inline int CompareVersions(std::string_view a, std::string_view b) {
  const auto pa = ParseVersion(a), pb = ParseVersion(b);
  if (!pa || !pb) return (pa ? 1 : 0) - (pb ? 1 : 0);
  for (size_t i = 0; i < 4; ++i) {
    const uint32_t x = i < pa->size() ? (*pa)[i] : 0, y = i < pb->size() ? (*pb)[i] : 0;
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

// name without its last count characters (all of them when it is shorter).
inline std::string WithoutLast(const std::string& name, size_t count) {
  return name.substr(0, name.size() >= count ? name.size() - count : 0);
}

// The package beside a wizard: the path minus its last three characters,
// then "stp" (D:\dist\setup.exe gives D:\dist\setup.stp).
inline std::string PackagePathFor(const std::string& wizardPath) {
  return WithoutLast(wizardPath, 3).append(kPackageSuffix);
}

// The configuration's name for a package name (setup.stp gives setup.ins),
// by the same three-character rule.
inline std::string ConfigNameFor(const std::string& packageName) {
  return WithoutLast(packageName, 3).append(kConfigSuffix);
}

// The names a publisher's base name gives: NAME.exe, NAME.stp, NAME.ins.
inline std::string WizardFileName(const std::string& base) {
  return base + std::string(kWizardExtension);
}
inline std::string PackageFileName(const std::string& base) {
  return PackagePathFor(WizardFileName(base));
}
inline std::string ConfigFileName(const std::string& base) {
  return ConfigNameFor(PackageFileName(base));
}

}  // namespace setup
