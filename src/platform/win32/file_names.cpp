// Names from archives on Windows: the characters Windows forbids in file
// names and the device names, which open a device instead of a file.
#include "platform/platform.h"

namespace zf::os {

namespace {

bool IsForbiddenCharacter(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u < 0x20 || std::string_view(":*?\"<>|").find(c) != std::string_view::npos;
}

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

// Windows takes a name for a device by its part before the first dot, with
// trailing spaces dropped: "nul", "NUL.txt", "Nul .tar.gz" and "com1.log"
// are all devices.
bool IsDeviceName(std::string_view segment) {
  std::string_view base = segment.substr(0, segment.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  for (std::string_view device : {"CON", "PRN", "AUX", "NUL"})
    if (EqualsIgnoringCase(base, device)) return true;
  if (base.size() == 4 && base[3] >= '1' && base[3] <= '9')
    return EqualsIgnoringCase(base.substr(0, 3), "COM") ||
           EqualsIgnoringCase(base.substr(0, 3), "LPT");
  return false;
}

}  // namespace

bool IsRefusedNameSegment(std::string_view segment) {
  for (char c : segment)
    if (IsForbiddenCharacter(c)) return true;
  return IsDeviceName(segment);
}

}  // namespace zf::os
