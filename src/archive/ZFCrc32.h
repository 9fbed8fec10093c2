// CRC-32 of the ZIP format (reflected polynomial 0xEDB88320).
//
// The update routines neither pre- nor post-invert: a checksum starts at
// 0xFFFFFFFF and is complemented at the end by its user, which gives the
// standard CRC-32 ("123456789" -> 0xCBF43926). On x86 processors with
// carry-less multiplication (PCLMULQDQ, chosen at run time by CPUID) the
// main routine folds 64 bytes per step (ZFCrc32Fold.cpp); elsewhere it
// consumes 16 bytes per step from compile-time tables (slicing-by-16),
// reading them one byte at a time, so it is independent of the machine's
// byte order and of the data's alignment. Both give the same results.
#pragma once

#include <array>
#include <cstdint>

namespace zf {

namespace crc32_detail {
constexpr std::array<uint32_t, 256> MakeTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
}  // namespace crc32_detail

// Entry n is the CRC of the single byte n. The cipher's key step uses it too.
inline constexpr std::array<uint32_t, 256> CRC32Table = crc32_detail::MakeTable();

// One byte step: what the cipher's key schedule calls "the CRC-32 byte step".
constexpr uint32_t CRC32Byte(uint32_t crc, uint8_t b) {
  return CRC32Table[(crc ^ b) & 0xFF] ^ (crc >> 8);
}

// crc advanced over length bytes of data; a null pointer or a length of 0 or
// less returns crc unchanged.
uint32_t CRC32Update(uint32_t crc, const void* data, int32_t length);
// The same, updating the caller's variable.
void CRC32UpdateVar(const void* data, int32_t length, uint32_t& crc);

// The routines CRC32Update chooses from, for tests and benchmarks; all give
// the same results.
// Slicing-by-16: any processor.
uint32_t CRC32UpdateSliced(uint32_t crc, const void* data, int32_t length);
// Folding: only where CRC32FoldAvailable() (elsewhere it slices).
uint32_t CRC32UpdateFolded(uint32_t crc, const void* data, int32_t length);
bool CRC32FoldAvailable();
// The plain byte-at-a-time table loop, the reference.
uint32_t CRC32UpdateBytewise(uint32_t crc, const void* data, int32_t length);

}  // namespace zf
