// The package configuration reader: INI parsing and the code-page rule.
#include "wizard/IniFile.h"

#include <cstdint>
#include <string_view>

#include "platform/platform.h"

namespace setup {
namespace {

constexpr size_t kValueBufferBytes = 2048;        // the original reader's buffer
constexpr int64_t kMaxFileBytes = 16 * 1024 * 1024;  // far beyond any configuration
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The next line of `text` from `pos`, without its end (CR, LF or CR LF).
bool NextLine(std::string_view text, size_t& pos, std::string_view& line) {
  if (pos >= text.size()) return false;
  const size_t end = text.find_first_of("\r\n", pos);
  const size_t stop = end == std::string_view::npos ? text.size() : end;
  line = text.substr(pos, stop - pos);
  pos = stop;
  if (pos < text.size() && text[pos] == '\r') ++pos;
  if (pos < text.size() && text[pos] == '\n') ++pos;
  return true;
}

// Drops an incomplete UTF-8 sequence that a cut left at the end.
void DropCutSequence(std::string& s) {
  size_t lead = s.size();
  while (lead > 0 && (static_cast<unsigned char>(s[lead - 1]) & 0xC0) == 0x80 &&
         s.size() - lead < 3)
    --lead;
  if (lead == 0) return;
  const auto c = static_cast<unsigned char>(s[lead - 1]);
  const size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  if (s.size() - (lead - 1) < need) s.resize(lead - 1);
}

}  // namespace

std::string IniValueFromText(const std::string& content, const std::string& section,
                             const std::string& key, const std::string& defaultValue) {
  std::string_view text = content;
  const bool utf8 = text.starts_with(kUtf8Bom);
  if (utf8) text.remove_prefix(kUtf8Bom.size());

  bool inSection = false;
  size_t pos = 0;
  std::string_view line;
  while (NextLine(text, pos, line)) {
    line = Trim(line);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      const std::string_view name =
          Trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
      // Only the first section of the name counts.
      if (inSection) break;
      inSection = EqualIgnoringAsciiCase(name, section);
      continue;
    }
    if (!inSection) continue;
    const size_t eq = line.find('=');
    const std::string_view name = Trim(line.substr(0, eq));
    if (!EqualIgnoringAsciiCase(name, key)) continue;
    std::string_view value = eq == std::string_view::npos ? std::string_view{}
                                                          : Trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    std::string raw(value.substr(0, kValueBufferBytes - 1));
    if (utf8) {
      DropCutSequence(raw);
      return raw;
    }
    std::string converted;
    if (!zf::os::ConvertCodePage(raw, kConfigCodePage, 65001, converted)) return raw;
    return converted;
  }
  return defaultValue;
}

std::string ReadIniValue(const std::string& path, const std::string& section,
                         const std::string& key, const std::string& defaultValue) {
  zf::os::File file;
  if (!file.Open(path, zf::os::OpenMode::ReadOnlyDenyNone)) return defaultValue;
  const int64_t size = file.Size();
  if (size < 0 || size > kMaxFileBytes) return defaultValue;
  std::string content(static_cast<size_t>(size), '\0');
  if (file.Read(content.data(), size) != size) return defaultValue;
  return IniValueFromText(content, section, key, defaultValue);
}

}  // namespace setup
