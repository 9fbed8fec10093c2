// Decode tables for the prefix codes of deflate data (RFC 1951), shared by
// Deflate and Deflate64: what a table entry holds, the meaning of every
// symbol in both formats, and the builder that turns a block's code lengths
// into a table, refusing the lengths zlib refuses.
//
// One lookup resolves a literal/length or distance code together with its
// extra bits: an entry holds the symbol's base value, its codeword length
// and the number of bits codeword and extra bits take together, so the
// decoder takes both at once and reads the extra bits from below the
// codeword. The table is indexed by the next kIndexBits bits of input,
// lowest bit first; codes longer than that continue in a subtable that the
// main entry links to. This is the decoding side only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace zf::inflater {

// ---- entries ------------------------------------------------------------------
// A table entry, 32 bits:
//   31..16  value: a literal byte, a length or distance base, or (a link)
//           the start of the subtable, as an index into the same table
//   15..12  kind: one of the flags below; none for a length or distance
//   11..8   codeword length: the extra bits start above it
//    7..0   bits the entry takes: codeword and extra bits (a link: the
//           subtable's index bits); at most 31, so that bits 7..6 are 0
//           and the count can go to a shift as it is (a 64-bit shift
//           reads 6 bits of its count)
inline constexpr uint32_t kLiteral = 0x8000;
inline constexpr uint32_t kEndOfBlock = 0x4000;
inline constexpr uint32_t kLink = 0x2000;
inline constexpr uint32_t kInvalid = 0x1000;  // a code that means nothing in this format
inline constexpr uint32_t kSpecial = kEndOfBlock | kLink | kInvalid;

constexpr uint32_t EntryValue(uint32_t e) { return e >> 16; }
constexpr unsigned EntryBits(uint32_t e) { return e & 0x3F; }
constexpr unsigned EntryCodeBits(uint32_t e) { return (e >> 8) & 0xF; }

// The base value plus the extra bits, from the input bits the entry was
// looked up with.
constexpr uint32_t EntryValueWithExtra(uint32_t e, uint64_t bits) {
  const uint64_t taken = bits & ((uint64_t{1} << EntryBits(e)) - 1);
  return EntryValue(e) + static_cast<uint32_t>(taken >> EntryCodeBits(e));
}

// ---- the two formats ---------------------------------------------------------------
inline constexpr unsigned kMaxCodeBits = 15;
inline constexpr unsigned kLiteralLengthSymbols = 288;  // 286 and 287 are never valid
inline constexpr unsigned kMaxLiteralLengthCodes = 286;  // the most a block may declare
inline constexpr unsigned kDistanceSymbols = 32;         // 30 and 31: Deflate64 only
inline constexpr unsigned kCodeLengthSymbols = 19;
inline constexpr unsigned kEndOfBlockSymbol = 256;

enum class TFormatKind : uint8_t { Deflate, Deflate64 };

// What differs between the formats: the window, length code 285 (258 in
// Deflate; 3 plus 16 extra bits in Deflate64), distance codes 30 and 31
// (bases 32769 and 49153, 14 extra bits each, in Deflate64 only).
struct TFormat {
  TFormatKind Kind;
  uint32_t WindowSize;            // the farthest a match reaches back
  unsigned DistanceCodes;         // the most a block may declare
  const uint32_t* LiteralLength;  // per symbol: the entry without its lengths
  const uint32_t* Distance;
};
const TFormat& Format(TFormatKind kind);

// ---- tables -------------------------------------------------------------------------
// Index bits of the main tables, and what main table and subtables can take
// at most. A subtable of k index bits serves at least k + 1 codes (the
// codes below one prefix fill it exactly, and the fewest that can do so
// have lengths 1, 2, ..., k, k under it), so subtables hold at most
// 2^k / (k + 1) entries per symbol, k being at most 15 minus the index bits.
inline constexpr unsigned kLiteralLengthIndexBits = 11;  // 4 entries per symbol at most
inline constexpr unsigned kDistanceIndexBits = 8;        // 16 per symbol
inline constexpr unsigned kCodeLengthIndexBits = 7;      // code-length codes are 7 bits at most
inline constexpr size_t kLiteralLengthTableSize =
    (size_t{1} << kLiteralLengthIndexBits) + 4 * kLiteralLengthSymbols;
inline constexpr size_t kDistanceTableSize = (size_t{1} << kDistanceIndexBits) + 16 * kDistanceSymbols;
inline constexpr size_t kCodeLengthTableSize = size_t{1} << kCodeLengthIndexBits;

// Why a set of code lengths makes no code.
enum class TBuildResult : uint8_t {
  Ok,
  Oversubscribed,  // more codes than bit patterns of their lengths
  Incomplete,      // bit patterns left over
};

// The templates of the code-length code's symbols: the symbol itself.
inline constexpr auto kCodeLengthTemplates = [] {
  std::array<uint32_t, kCodeLengthSymbols> t{};
  for (uint32_t s = 0; s < kCodeLengthSymbols; ++s) t[s] = s << 16;
  return t;
}();

// Builds the decode table of the code with the given lengths (one per
// symbol, 0: no code) into table (tableSize entries), indexed by
// indexBits bits; templates[s] is symbol s's entry without its lengths.
//
// A code with bit patterns left over is refused, as zlib refuses it, except
// where incompleteAllowed (literal/length and distance codes) and the code
// has no codeword, or a single one of 1 bit: a block that makes no match,
// or all its matches at one distance. The patterns left over decode as
// kInvalid entries that take as many bits as the longest code.
TBuildResult BuildDecodeTable(std::span<const uint8_t> lengths, const uint32_t* templates,
                              unsigned indexBits, bool incompleteAllowed, uint32_t* table,
                              size_t tableSize);

// The entry for the next input bits (lowest first), following a link.
inline uint32_t Lookup(const uint32_t* table, unsigned indexBits, uint64_t bits) {
  uint32_t e = table[bits & ((uint32_t{1} << indexBits) - 1)];
  if (e & kLink) [[unlikely]]
    e = table[EntryValue(e) + ((bits >> indexBits) & ((uint32_t{1} << EntryBits(e)) - 1))];
  return e;
}

// The tables of a block with the fixed codes (block type 1), built once.
struct TFixedTables {
  uint32_t LiteralLength[kLiteralLengthTableSize];
  uint32_t Distance[kDistanceTableSize];
};
const TFixedTables& FixedTables(TFormatKind kind);

}  // namespace zf::inflater
