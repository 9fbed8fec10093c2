// The package's stamp: a fixed place inside setup.exe's image, marked so
// that mkstp finds it, where mkstp writes what the wizard must know about
// the package it ships with before it trusts a byte of it.
//
// The wizard is built with the place blank (the mark, then zeros). mkstp
// writes into the copy it ships, at the mark's place in the file:
// - the package's SHA-256 and size (always, when the wizard has the
//   place): the wizard hashes the package before any page and refuses a
//   damaged or swapped one;
// - for a one-file setup, where the package lies inside the executable
//   (offset and size) and the package's base name, so a download renamed
//   "Hello (1).exe" still finds its configuration.
// The place lies in the image's read-only data, which Authenticode signing
// leaves as it is (a signature goes into the PE header's certificate entry
// and onto the file's end), so the stamp survives signing; the digest
// covers exactly the recorded range, never what a signature appends.
//
// Layout (little-endian), kStampSize bytes:
//   16  the mark (ZF_PACKAGE_STAMP_MARK)
//    4  flags: kStampDigest, kStampSingleFile
//    8  the package's offset in its file (0 for NAME.stp beside the wizard)
//    8  the package's size
//   32  SHA-256 of those bytes
//    2  length of the base name (UTF-8, one-file setups only), then its bytes
//   ... zeros up to kStampSize
//
// The wizard reads its stamp from its own memory without comparing the
// mark, so the mark stands in its image exactly once: where the blank stamp
// begins. Portable and header-only: the wizard and mkstp include it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace setup {

// The mark's bytes, as an initializer (the wizard's blank stamp) and as
// mkstp's pattern.
#define ZF_PACKAGE_STAMP_MARK \
  'z', 'f', 's', 'e', 't', 'u', 'p', '-', 's', 't', 'a', 'm', 'p', 0x1A, 0x01, 0x7F

inline constexpr size_t kStampSize = 512;
inline constexpr size_t kStampMarkSize = 16;
inline constexpr size_t kStampMaxBaseName = 255;

// Flag bits of the stamp.
inline constexpr uint32_t kStampDigest = 0x1;      // size and SHA-256 are there
inline constexpr uint32_t kStampSingleFile = 0x2;  // the package is in the executable

struct TPackageStamp {
  uint32_t flags = 0;
  uint64_t offset = 0;
  uint64_t size = 0;
  std::array<uint8_t, 32> sha256{};
  std::string baseName;  // UTF-8; one-file setups

  bool HasDigest() const { return (flags & kStampDigest) != 0; }
  bool SingleFile() const { return (flags & kStampSingleFile) != 0; }
};

namespace stamp_detail {
inline uint64_t Get(std::span<const uint8_t> b, size_t at, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<size_t>(i)];
  return v;
}
inline void Put(std::vector<uint8_t>& b, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
}  // namespace stamp_detail

// The stamp from its kStampSize bytes (the mark is not compared; see the
// header comment). A blank place, or one that makes no sense (a single-file
// stamp without its digest, a name longer than the place), reads as no
// stamp: the wizard then reads NAME.stp beside it unchecked, as before.
inline TPackageStamp ReadStamp(std::span<const uint8_t, kStampSize> bytes) {
  using stamp_detail::Get;
  TPackageStamp s;
  size_t at = kStampMarkSize;
  s.flags = static_cast<uint32_t>(Get(bytes, at, 4)) & (kStampDigest | kStampSingleFile);
  s.offset = Get(bytes, at + 4, 8);
  s.size = Get(bytes, at + 12, 8);
  at += 20;
  for (size_t i = 0; i < s.sha256.size(); ++i) s.sha256[i] = bytes[at + i];
  at += s.sha256.size();
  const size_t nameLength = static_cast<size_t>(Get(bytes, at, 2));
  at += 2;
  if (nameLength > kStampMaxBaseName || (s.SingleFile() && (!s.HasDigest() || nameLength == 0)))
    return {};
  s.baseName.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                    bytes.begin() + static_cast<std::ptrdiff_t>(at + nameLength));
  return s;
}

// The kStampSize bytes of a stamp, mark included (the name must fit).
inline std::vector<uint8_t> StampBytes(const TPackageStamp& s) {
  using stamp_detail::Put;
  std::vector<uint8_t> b = {ZF_PACKAGE_STAMP_MARK};
  Put(b, s.flags, 4);
  Put(b, s.offset, 8);
  Put(b, s.size, 8);
  b.insert(b.end(), s.sha256.begin(), s.sha256.end());
  Put(b, s.baseName.size(), 2);
  b.insert(b.end(), s.baseName.begin(), s.baseName.end());
  b.resize(kStampSize, 0);
  return b;
}

// A digest as lower-case hexadecimal, for logs and reports.
inline std::string HexDigest(const std::array<uint8_t, 32>& digest) {
  std::string hex;
  for (uint8_t b : digest) {
    hex += "0123456789abcdef"[b >> 4];
    hex += "0123456789abcdef"[b & 15];
  }
  return hex;
}

}  // namespace setup
