// Bilinear scaling of 32-bit pixels.
#include "wizard/ImageScale.h"

#include <algorithm>

namespace setup {
namespace {

// Where a target pixel's centre falls in the source, in 1/256 of a pixel,
// clamped to the outermost pixel centres.
struct Sample {
  int first, second;  // the two source pixels
  int weight;         // of the second, 0 to 256
};

std::vector<Sample> Samples(int source, int target) {
  std::vector<Sample> samples(static_cast<size_t>(target));
  for (int i = 0; i < target; ++i) {
    // Centre of target pixel i, in source coordinates: (i + 0.5) * s / t - 0.5.
    const int64_t fixed = ((2 * int64_t{i} + 1) * source * 256) / (2 * int64_t{target}) - 128;
    const int64_t clamped = std::clamp<int64_t>(fixed, 0, int64_t{source - 1} * 256);
    const int first = static_cast<int>(clamped / 256);
    samples[static_cast<size_t>(i)] = {first, std::min(first + 1, source - 1),
                                       static_cast<int>(clamped % 256)};
  }
  return samples;
}

uint32_t Blend(uint32_t a, uint32_t b, int weight) {
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
    out |= static_cast<uint32_t>((ca * (256 - weight) + cb * weight + 128) >> 8) << shift;
  }
  return out;
}

}  // namespace

std::vector<uint32_t> ScaleBilinear(const std::vector<uint32_t>& source, int width, int height,
                                    int targetWidth, int targetHeight) {
  if (width <= 0 || height <= 0 || targetWidth <= 0 || targetHeight <= 0 ||
      source.size() < static_cast<size_t>(width) * static_cast<size_t>(height))
    return {};
  const std::vector<Sample> xs = Samples(width, targetWidth), ys = Samples(height, targetHeight);
  std::vector<uint32_t> target(static_cast<size_t>(targetWidth) * static_cast<size_t>(targetHeight));
  const auto at = [&](int x, int y) { return source[static_cast<size_t>(y) * width + x]; };
  for (int y = 0; y < targetHeight; ++y) {
    const Sample& sy = ys[static_cast<size_t>(y)];
    for (int x = 0; x < targetWidth; ++x) {
      const Sample& sx = xs[static_cast<size_t>(x)];
      const uint32_t top = Blend(at(sx.first, sy.first), at(sx.second, sy.first), sx.weight);
      const uint32_t bottom = Blend(at(sx.first, sy.second), at(sx.second, sy.second), sx.weight);
      target[static_cast<size_t>(y) * targetWidth + x] = Blend(top, bottom, sy.weight);
    }
  }
  return target;
}

}  // namespace setup
