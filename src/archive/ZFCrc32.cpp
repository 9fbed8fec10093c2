// CRC-32 by slicing-by-16, and the choice between it and folding
// (ZFCrc32Fold.cpp): sixteen compile-time tables, where table k maps a
// byte to its CRC contribution when k zero bytes follow it. One step folds
// 16 input bytes with 16 independent lookups instead of a chain of 16
// dependent ones; the last 0..15 bytes go byte by byte. Bytes are read one
// at a time, so no alignment or byte order is assumed.
#include "archive/ZFCrc32.h"

#include <cstddef>

namespace zf {

namespace {

constexpr int kSlices = 16;
using SliceTables = std::array<std::array<uint32_t, 256>, kSlices>;

constexpr SliceTables MakeSliceTables() {
  SliceTables t{};
  t[0] = CRC32Table;
  for (int k = 1; k < kSlices; ++k)
    for (int n = 0; n < 256; ++n) t[k][n] = (t[k - 1][n] >> 8) ^ CRC32Table[t[k - 1][n] & 0xFF];
  return t;
}

constexpr SliceTables kSliceTables = MakeSliceTables();
static_assert(CRC32Table[1] == 0x77073096u && CRC32Table[255] == 0x2D02EF8Du);

inline uint32_t Load32LE(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

uint32_t CRC32Update(uint32_t crc, const void* data, int32_t length) {
  static const bool fold = CRC32FoldAvailable();
  return fold ? CRC32UpdateFolded(crc, data, length) : CRC32UpdateSliced(crc, data, length);
}

uint32_t CRC32UpdateSliced(uint32_t crc, const void* data, int32_t length) {
  if (data == nullptr || length <= 0) return crc;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  size_t n = static_cast<size_t>(length);
  const auto& t = kSliceTables;
  while (n >= kSlices) {
    // The running CRC overlaps the first four bytes; the other twelve are
    // looked up on their own, so all sixteen lookups are independent.
    const uint32_t a = crc ^ Load32LE(p);
    crc = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
          t[11][p[4]] ^ t[10][p[5]] ^ t[9][p[6]] ^ t[8][p[7]] ^
          t[7][p[8]] ^ t[6][p[9]] ^ t[5][p[10]] ^ t[4][p[11]] ^
          t[3][p[12]] ^ t[2][p[13]] ^ t[1][p[14]] ^ t[0][p[15]];
    p += kSlices;
    n -= kSlices;
  }
  while (n-- > 0) crc = CRC32Byte(crc, *p++);
  return crc;
}

void CRC32UpdateVar(const void* data, int32_t length, uint32_t& crc) {
  crc = CRC32Update(crc, data, length);
}

uint32_t CRC32UpdateBytewise(uint32_t crc, const void* data, int32_t length) {
  if (data == nullptr || length <= 0) return crc;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  for (int32_t i = 0; i < length; ++i) crc = CRC32Byte(crc, p[i]);
  return crc;
}

}  // namespace zf
