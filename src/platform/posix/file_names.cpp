// Names from archives on Linux: every byte but NUL is legal in a file name
// ("123456789:;<=>?@" extracts as it is, as Python's zipfile and bsdtar
// do); the ways out of the destination are the engine's to refuse.
#include "platform/platform.h"

namespace zf::os {

bool IsRefusedNameSegment(std::string_view segment) {
  return segment.find('\0') != std::string_view::npos;
}

}  // namespace zf::os
