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

#include <string>
#include <string_view>

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
// The four texts may come once per language: "name" is the Russian one
// and every language's default, "name.en" the English one.
inline std::string LocalizedKey(std::string_view key, std::string_view languageCode) {
  return std::string(key).append(".").append(languageCode);
}
// What the wizard takes for a missing "web" key ("http://" is removed from
// the link's caption, so it shows nothing).
inline constexpr std::string_view kDefaultWeb = "http://";
// The wizard reads a value into a 2048-byte buffer: longer ones arrive cut.
inline constexpr size_t kMaxConfigValueBytes = 2047;

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
