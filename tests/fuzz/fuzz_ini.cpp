// The wizard's configuration reader: the input is the text of a package's
// NAME.ins, read for the four keys the wizard asks for and for a section
// and key that the text itself names (its first line, "section key"), so
// that odd names are looked up too. A value never holds more than the 2047
// bytes the reader keeps, each becoming at most three bytes of UTF-8.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "wizard/IniFile.h"

namespace {

constexpr size_t kMostValueBytes = 3 * 2047;
const char* const kDefault = "\x01" "default";

void Read(const std::string& text, const std::string& section, const std::string& key) {
  const std::string value = setup::IniValueFromText(text, section, key, kDefault);
  if (value != kDefault && value.size() > kMostValueBytes) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const char* key : {"firma", "web", "name", "coment"}) Read(text, "zel", key);
  const std::string first = text.substr(0, text.find_first_of("\r\n"));
  const size_t space = first.find(' ');
  if (space != std::string::npos) Read(text, first.substr(0, space), first.substr(space + 1));
  return 0;
}
