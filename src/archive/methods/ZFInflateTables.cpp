// Decode tables of deflate's prefix codes (see ZFInflateTables.h).
#include "archive/methods/ZFInflateTables.h"

#include <algorithm>
#include <array>

namespace zf::inflater {

namespace {

constexpr uint32_t Template(uint32_t value, uint32_t kind, uint32_t extraBits) {
  return value << 16 | kind | extraBits;
}

// Lengths 3..258 from codes 257..285 (RFC 1951, 3.2.5): eight codes without
// extra bits, then four codes per extra bit up to five, then 258 alone.
// Deflate64 gives code 285 the base 3 and 16 extra bits instead.
template <TFormatKind kind>
constexpr std::array<uint32_t, kLiteralLengthSymbols> MakeLiteralLengthTemplates() {
  std::array<uint32_t, kLiteralLengthSymbols> t{};
  for (uint32_t s = 0; s < 256; ++s) t[s] = Template(s, kLiteral, 0);
  t[kEndOfBlockSymbol] = Template(0, kEndOfBlock, 0);
  uint32_t base = 3;
  for (uint32_t code = 257; code < 285; ++code) {
    const uint32_t extra = code < 265 ? 0 : (code - 261) / 4;
    t[code] = Template(base, 0, extra);
    base += uint32_t{1} << extra;
  }
  t[285] = kind == TFormatKind::Deflate64 ? Template(3, 0, 16) : Template(258, 0, 0);
  t[286] = t[287] = Template(0, kInvalid, 0);
  return t;
}

// Distances from codes 0..29: four codes without extra bits, then two codes
// per extra bit up to 13. Deflate64 goes on with codes 30 and 31 (14 bits),
// which Deflate's fixed code has but never means.
template <TFormatKind kind>
constexpr std::array<uint32_t, kDistanceSymbols> MakeDistanceTemplates() {
  std::array<uint32_t, kDistanceSymbols> t{};
  uint32_t base = 1;
  for (uint32_t code = 0; code < kDistanceSymbols; ++code) {
    const uint32_t extra = code < 4 ? 0 : code / 2 - 1;
    t[code] = Template(base, 0, extra);
    base += uint32_t{1} << extra;
  }
  if (kind == TFormatKind::Deflate) t[30] = t[31] = Template(0, kInvalid, 0);
  return t;
}

constexpr auto kDeflateLiteralLength = MakeLiteralLengthTemplates<TFormatKind::Deflate>();
constexpr auto kDeflate64LiteralLength = MakeLiteralLengthTemplates<TFormatKind::Deflate64>();
constexpr auto kDeflateDistance = MakeDistanceTemplates<TFormatKind::Deflate>();
constexpr auto kDeflate64Distance = MakeDistanceTemplates<TFormatKind::Deflate64>();
static_assert(kDeflateLiteralLength[284] == Template(227, 0, 5));
static_assert(kDeflate64Distance[31] == Template(49153, 0, 14));

constexpr TFormat kFormats[] = {
    {TFormatKind::Deflate, 32768, 30, kDeflateLiteralLength.data(),
     kDeflateDistance.data()},
    {TFormatKind::Deflate64, 65536, 32, kDeflate64LiteralLength.data(),
     kDeflate64Distance.data()},
};

constexpr uint32_t Reverse(uint32_t code, unsigned length) {
  uint32_t r = 0;
  for (unsigned i = 0; i < length; ++i, code >>= 1) r = r << 1 | (code & 1);
  return r;
}

TFixedTables MakeFixedTables(TFormatKind kind) {
  uint8_t lengths[kLiteralLengthSymbols];
  std::fill(lengths, lengths + 144, 8);
  std::fill(lengths + 144, lengths + 256, 9);
  std::fill(lengths + 256, lengths + 280, 7);
  std::fill(lengths + 280, lengths + kLiteralLengthSymbols, 8);
  TFixedTables t;
  const TFormat& f = Format(kind);
  BuildDecodeTable(lengths, f.LiteralLength, kLiteralLengthIndexBits, false, t.LiteralLength,
                   kLiteralLengthTableSize);
  std::fill(lengths, lengths + kDistanceSymbols, 5);
  BuildDecodeTable({lengths, kDistanceSymbols}, f.Distance, kDistanceIndexBits, false, t.Distance,
                   kDistanceTableSize);
  return t;
}

}  // namespace

const TFormat& Format(TFormatKind kind) { return kFormats[static_cast<int>(kind)]; }

const TFixedTables& FixedTables(TFormatKind kind) {
  static const TFixedTables deflate = MakeFixedTables(TFormatKind::Deflate);
  static const TFixedTables deflate64 = MakeFixedTables(TFormatKind::Deflate64);
  return kind == TFormatKind::Deflate64 ? deflate64 : deflate;
}

TBuildResult BuildDecodeTable(std::span<const uint8_t> lengths, const uint32_t* templates,
                              unsigned indexBits, bool incompleteAllowed, uint32_t* table,
                              size_t tableSize) {
  unsigned count[kMaxCodeBits + 1] = {};
  for (const uint8_t length : lengths) ++count[length];
  count[0] = 0;
  unsigned longest = 0;
  for (unsigned len = 1; len <= kMaxCodeBits; ++len)
    if (count[len] != 0) longest = len;

  // Kraft's sum, in units of the patterns of each length still free.
  int32_t left = 1;
  for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
    left = 2 * left - static_cast<int32_t>(count[len]);
    if (left < 0) return TBuildResult::Oversubscribed;
  }
  const size_t mainSize = size_t{1} << indexBits;
  if (left > 0) {
    if (!incompleteAllowed || longest > 1) return TBuildResult::Incomplete;
    // The patterns without a code are known to be invalid once the longest
    // code's bits are in (zlib asks for one bit of a code with none).
    const uint32_t taken = std::max(1u, longest);
    std::fill(table, table + mainSize, kInvalid | taken << 8 | taken);
  }

  // Canonical order: by length, then by symbol; each code is the one after
  // the code before it, shifted left where the length grows.
  uint16_t sorted[kLiteralLengthSymbols];
  uint32_t nextCode[kMaxCodeBits + 1] = {};
  unsigned offset[kMaxCodeBits + 2] = {};
  for (unsigned len = 1, code = 0; len <= kMaxCodeBits; ++len) {
    code = (code + count[len - 1]) << 1;
    nextCode[len] = code;
    offset[len + 1] = offset[len] + count[len];
  }
  for (unsigned s = 0; s < lengths.size(); ++s)
    if (lengths[s] != 0) sorted[offset[lengths[s]]++] = static_cast<uint16_t>(s);
  const unsigned codes = offset[kMaxCodeBits];  // offset[len] now ends length len
  uint32_t reversed[kLiteralLengthSymbols];      // in canonical order, lowest bit first
  for (unsigned i = 0; i < codes; ++i) {
    const unsigned len = lengths[sorted[i]];
    reversed[i] = Reverse(nextCode[len]++, len);
  }

  const uint32_t mainMask = static_cast<uint32_t>(mainSize - 1);
  size_t nextFree = mainSize;    // where the next subtable goes
  uint32_t prefix = UINT32_MAX;  // of the subtable being filled
  size_t subStart = 0;
  unsigned subBits = 0;
  for (unsigned i = 0; i < codes; ++i) {
    const unsigned len = lengths[sorted[i]];
    const uint32_t entry = templates[sorted[i]] + (len << 8) + len;
    if (len <= indexBits) {
      for (size_t at = reversed[i]; at < mainSize; at += size_t{1} << len) table[at] = entry;
      continue;
    }
    if ((reversed[i] & mainMask) != prefix) {
      // The codes under one prefix follow each other in canonical order;
      // the last of them is the longest and sets the subtable's size.
      prefix = reversed[i] & mainMask;
      unsigned last = i;
      while (last + 1 < codes && (reversed[last + 1] & mainMask) == prefix) ++last;
      subBits = lengths[sorted[last]] - indexBits;
      subStart = nextFree;
      nextFree += size_t{1} << subBits;
      if (nextFree > tableSize || subStart > 0xFFFF) return TBuildResult::Oversubscribed;
      table[prefix] = static_cast<uint32_t>(subStart) << 16 | kLink | subBits;
    }
    const size_t step = size_t{1} << (len - indexBits);
    for (size_t at = reversed[i] >> indexBits; at < (size_t{1} << subBits); at += step)
      table[subStart + at] = entry;
  }
  return TBuildResult::Ok;
}

}  // namespace zf::inflater
