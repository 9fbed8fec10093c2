// Writing the configuration file NAME.ins.
#include "package_config.h"

#include "stored_names.h"
#include "package/PackageFormat.h"

namespace mkstp {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsQuote(char c) { return c == '"' || c == '\''; }

// The value as it must stand after "key=" to be read back unchanged.
std::string IniValue(const std::string& key, const std::string& value, unsigned codePage) {
  if (value.find_first_of("\r\n") != std::string::npos)
    throw Failure("the " + key + " text holds a line break, which the configuration file "
                                 "cannot keep");
  std::string encoded;
  if (!ConvertExactly(value, codePage, encoded))
    throw Failure("the " + key + " text cannot be written in code page " +
                  std::to_string(codePage));
  if (encoded.size() > setup::kMaxConfigValueBytes)
    throw Failure("the " + key + " text is too long (" + std::to_string(encoded.size()) +
                  " bytes, the wizard reads at most " +
                  std::to_string(setup::kMaxConfigValueBytes) + ")");
  const bool guard = !encoded.empty() && (IsBlank(encoded.front()) || IsBlank(encoded.back()) ||
                                          IsQuote(encoded.front()) || IsQuote(encoded.back()));
  return guard ? "\"" + encoded + "\"" : encoded;
}

}  // namespace

std::string BuildPackageConfig(const Options& o, unsigned codePage) {
  std::string ini = "[";
  ini.append(setup::kConfigSection).append("]\r\n");
  const auto line = [&](bool given, std::string_view key, const std::string& value,
                        const char* what) {
    if (given) ini += std::string(key) + "=" + IniValue(what, value, codePage) + "\r\n";
  };
  line(o.havePublisher, setup::kKeyPublisher, o.publisher, "publisher");
  line(o.haveWeb, setup::kKeyWeb, o.web, "web");
  line(o.haveName, setup::kKeyName, o.name, "name");
  line(o.haveComment, setup::kKeyComment, o.comment, "comment");
  for (const auto& [key, value] : o.localizedTexts) line(true, key, value, key.c_str());
  // Nothing asked for, nothing written: the package installs as before.
  line(!o.run.empty(), setup::kKeyRun, o.run, "run");
  line(!o.desktopShortcut.empty(), setup::kKeyDesktop, o.desktopShortcut, "desktop-shortcut");
  line(!o.privileges.empty(), setup::kKeyPrivileges, o.privileges, "privileges");
  // A Russian package says nothing, as every package before languages.
  line(!o.languages.empty() && o.languages != "ru", setup::kKeyLanguages, o.languages,
       "languages");
  line(!o.id.empty(), setup::kKeyId, o.id, "id");
  line(!o.version.empty(), setup::kKeyVersion, o.version, "version");
  return ini;
}

}  // namespace mkstp
