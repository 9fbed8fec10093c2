// Stored names: Windows-safe characters, exact conversion to the OEM code
// page, the length limit.
#include "stored_names.h"

#include <string_view>

#include "mkstp.h"
#include "platform/platform.h"

namespace mkstp {

bool RefusedByWindows(char c) {
  return static_cast<unsigned char>(c) < 0x20 ||
         std::string_view("\\:*?\"<>|").find(c) != std::string_view::npos;
}

bool ConvertExactly(const std::string& ansiText, unsigned codePage, std::string& out) {
  const unsigned ansi = zf::os::AnsiCodePage();
  std::string back;
  if (!zf::os::ConvertCodePage(ansiText, ansi, codePage, out)) return false;
  if (!zf::os::ConvertCodePage(out, codePage, ansi, back)) return false;
  return back == ansiText;
}

std::string FoldAsciiCase(std::string name) {
  for (char& c : name)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return name;
}

std::string ToStoredName(const std::string& relativeName, unsigned codePage,
                         const std::string& displayName) {
  for (char c : relativeName) {
    if (RefusedByWindows(c))
      throw Failure(displayName + ": the name holds a character Windows does not allow in "
                                  "file names");
  }
  std::string stored;
  if (!ConvertExactly(relativeName, codePage, stored))
    throw Failure(displayName + (codePage == kUtf8Names
                                     ? std::string(": the name is not valid UTF-8")
                                     : ": the name cannot be written in code page " +
                                           std::to_string(codePage)));
  if (stored.size() > kMaxStoredNameBytes)
    throw Failure(displayName + ": the name is too long (" + std::to_string(stored.size()) +
                  " bytes, at most " + std::to_string(kMaxStoredNameBytes) + ")");
  return stored;
}

}  // namespace mkstp
