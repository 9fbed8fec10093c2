// Validation of BMP files by their headers.
#include "bmp_check.h"

#include "archive/ZFRecords.h"

namespace mkstp {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;  // OS/2 1.x: 16-bit width and height
// BI_RGB, BI_RLE8, BI_RLE4, BI_BITFIELDS.
constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;

bool KnownInfoSize(uint32_t size) {
  return size == kCoreHeaderSize || size == 40 || size == 52 || size == 56 || size == 108 ||
         size == 124;
}

}  // namespace

std::string BmpProblem(const std::vector<uint8_t>& b) {
  using zf::Get16;
  using zf::Get32;
  if (b.size() < kFileHeaderSize + kCoreHeaderSize || b[0] != 'B' || b[1] != 'M')
    return "not a BMP file";
  const uint32_t pixelOffset = Get32(&b[10]);
  const uint32_t infoSize = Get32(&b[14]);
  if (!KnownInfoSize(infoSize) || kFileHeaderSize + infoSize > b.size())
    return "unknown or cut BMP header";

  int64_t width, height;
  uint16_t planes, bits;
  uint32_t compression = kRgb;
  if (infoSize == kCoreHeaderSize) {
    width = Get16(&b[18]);
    height = Get16(&b[20]);
    planes = Get16(&b[22]);
    bits = Get16(&b[24]);
  } else {
    width = static_cast<int32_t>(Get32(&b[18]));
    height = static_cast<int32_t>(Get32(&b[22]));
    planes = Get16(&b[26]);
    bits = Get16(&b[28]);
    compression = Get32(&b[30]);
  }
  if (width <= 0 || height == 0) return "the picture has no size";
  if (planes != 1) return "a BMP must have one plane";
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return "unsupported number of bits per pixel (" + std::to_string(bits) + ")";
  const bool fits = compression == kRgb || (compression == kRle8 && bits == 8 && height > 0) ||
                    (compression == kRle4 && bits == 4 && height > 0) ||
                    (compression == kBitFields && (bits == 16 || bits == 32));
  if (!fits) return "unsupported BMP compression";
  if (pixelOffset < kFileHeaderSize + infoSize || pixelOffset > b.size())
    return "the pixel data lies outside the file";
  if (compression == kRgb) {
    const int64_t rows = height < 0 ? -height : height;
    const int64_t stride = ((width * bits + 31) / 32) * 4;
    if (rows * stride > static_cast<int64_t>(b.size() - pixelOffset))
      return "the pixel data is cut short";
  }
  return "";
}

}  // namespace mkstp
