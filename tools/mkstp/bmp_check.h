// The check that a picture is a Windows bitmap the wizard can show: the
// wizard fails its start-up on a picture it cannot load, so a package must
// never carry one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mkstp {

// Empty when bytes are a valid BMP file, else why not. Checks the file
// header ("BM", the pixel offset), an info header of a known size (core,
// Windows 3 or later), positive width, non-zero height, one plane, a known
// bit count, an uncompressed, RLE or bit-field layout that matches the bit
// count, and, for uncompressed pixels, that the rows are all in the file.
std::string BmpProblem(const std::vector<uint8_t>& bytes);

}  // namespace mkstp
