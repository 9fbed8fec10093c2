// Smooth scaling of a picture's pixels, for the header picture of a window
// drawn at more than 96 dots per inch: each target pixel is the bilinear
// blend of the four source pixels around its centre, channel by channel,
// so edges stay soft instead of turning into steps. Meant for enlarging
// (1.25 to 3 times); shrinking works but averages no more than four pixels.
//
// Portable: pixels are 32-bit words of four 8-bit channels (Windows'
// BGRA order, though any order works), rows top to bottom.
#pragma once

#include <cstdint>
#include <vector>

namespace setup {

// `source` holds width x height pixels; the result targetWidth x
// targetHeight. Empty when a size is not positive.
std::vector<uint32_t> ScaleBilinear(const std::vector<uint32_t>& source, int width, int height,
                                    int targetWidth, int targetHeight);

}  // namespace setup
