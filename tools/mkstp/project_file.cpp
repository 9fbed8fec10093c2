// Reading a project file (see project_file.h).
#include "project_file.h"

#include "command_line.h"
#include "platform/platform.h"

namespace mkstp {

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool IsAbsolute(const std::string& path) {
#ifdef _WIN32
  return (path.size() >= 2 && path[1] == ':') || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
#else
  return !path.empty() && path[0] == '/';
#endif
}

// The folder part of the file's path, with its separator ("" for none).
std::string FolderOf(const std::string& path) {
#ifdef _WIN32
  const size_t cut = path.find_last_of("\\/:");
#else
  const size_t cut = path.find_last_of('/');
#endif
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace

bool ReadProjectFile(const std::string& path, std::vector<zftool::Option>& options,
                     std::string& source, std::string& error) {
  std::string text;
  {
    zf::os::File file;
    const int64_t size = zf::os::FileSize(path);
    if (size < 0 || size > (1 << 20) || !file.Open(path, zf::os::OpenMode::ReadOnlyDenyNone)) {
      error = path + ": cannot read the project file" +
              (size > (1 << 20) ? std::string(": too big") : ": " + SystemError());
      return false;
    }
    text.resize(static_cast<size_t>(size));
    if (file.Read(text.data(), size) != size) {
      error = path + ": cannot read the project file: " + SystemError();
      return false;
    }
  }
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  const std::string folder = FolderOf(path);

  size_t start = 0;
  for (int number = 1; start < text.size(); ++number) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string clean = Trimmed(line);
    const std::string where = path + ":" + std::to_string(number) + ": ";
    if (clean.empty() || clean[0] == ';' || clean[0] == '#' || Lower(clean) == "[mkstp]") continue;
    const size_t equals = clean.find('=');
    if (equals == std::string::npos) {
      error = where + (clean[0] == '[' ? "the only section is [mkstp]" : "no \"key = value\"");
      return false;
    }
    const std::string key = Lower(Trimmed(clean.substr(0, equals)));
    std::string value = Trimmed(clean.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    value = zf::os::Utf8ToAnsi(value);

    if (key == "source") {
      if (value.empty()) {
        error = where + "source needs a folder";
        return false;
      }
      source = IsAbsolute(value) ? value : folder + value;
      continue;
    }
    const OptionRule* rule = key.empty() || key == "project" ? nullptr : FindOption("--" + key);
    if (rule == nullptr) {
      error = where + "\"" + key + "\" is no option of mkstp";
      return false;
    }
    switch (rule->value) {
      case ValueKind::None: {
        const std::string answer = Lower(value);
        if (answer == "yes" || answer == "true" || answer == "on" || answer == "1") {
          options.push_back({rule->name, ""});
        } else if (answer != "no" && answer != "false" && answer != "off" && answer != "0") {
          error = where + key + " takes yes or no";
          return false;
        }
        continue;
      }
      case ValueKind::Path:
        if (!value.empty() && !IsAbsolute(value)) value = folder + value;
        [[fallthrough]];
      case ValueKind::Word:
        if (value.empty()) {
          error = where + key + " needs a value";
          return false;
        }
        break;
      case ValueKind::Text:
        break;
    }
    options.push_back({rule->name, value});
  }
  return true;
}

}  // namespace mkstp
