// The streaming inflate (see ZFInflate.h).
//
// The decoder is a state machine over the parts of a stream, and may stop
// between any two of them:
//
//   BlockHeader -+-- stored --> StoredLengths --> Stored -------------------+
//        ^       +-- fixed ---------------------------------> Symbols       |
//        |       +-- dynamic --> TableSizes --> CodeLengthCode   |  ^       |
//        |                                --> CodeLengths -------+  |       |
//        |                                    a length: Distance -> Copy    |
//        +------------------------ end of block ----------------------------+
//   after the final block: End; on damage: Failed (for good).
//
// Input bits wait in a 64-bit buffer, the next one lowest. Outside the fast
// loop the buffer takes input a byte at a time and a unit (a block header's
// field, a code length, a literal/length symbol with its extra bits, a
// distance with its extra bits) is taken whole or not at all, so that the
// decoder can stop wherever the input ends with nothing half-read.
//
// While at least kFastInput bytes of input and kFastOutput bytes of output
// room remain, DecodeFast runs instead: it loads eight bytes at a time into
// the bit buffer without looking at the input's end, decodes up to three
// literals per load, resolves each symbol and its extra bits with one
// table lookup, and copies matches eight bytes at a time, writing up to
// kCopyOverrun bytes past a match's end (room the next bytes overwrite).
//
// The output goes straight to the caller's buffer. Matches reach back into
// that buffer, and before its start into the window: the last bytes of the
// output of earlier calls, kept when a call returns with the stream not yet
// ended (an entry decoded in one call never needs it).
#include "archive/methods/ZFInflate.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "archive/methods/ZFInflateTables.h"

namespace zf {

using namespace inflater;

namespace {

enum class Mode : uint8_t {
  BlockHeader, StoredLengths, Stored, TableSizes, CodeLengthCode, CodeLengths,
  Symbols, Distance, Copy, End, Failed,
};

// The order in which a dynamic block gives the lengths of the code-length code.
constexpr uint8_t kCodeLengthOrder[kCodeLengthSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

// The fast loop's room. A round takes at most 90 bits (two literals, a
// Deflate64 length and a distance with their extra bits) and its last load
// reads 8 bytes from where the bits it needs start; the first round may
// also take 7 bytes to fill the buffer. That is 24 bytes at most: 32 leave
// a margin. A round writes at most three literals, or two and a match of
// up to kFastMatch bytes plus the overrun.
constexpr size_t kFastInput = 32;
constexpr size_t kCopyOverrun = 16;
constexpr uint32_t kFastMatch = 258;  // Deflate64's longer matches leave the loop
constexpr size_t kFastOutput = 2 + kFastMatch + kCopyOverrun;

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
  return v;
}

inline void Copy8(uint8_t* to, const uint8_t* from) { std::memcpy(to, from, 8); }

}  // namespace

struct inflater::TInflateState {
  explicit TInflateState(TDeflateFormat kind)
      : format(Format(kind == TDeflateFormat::Deflate64 ? TFormatKind::Deflate64
                                                        : TFormatKind::Deflate)) {}

  const TFormat& format;
  Mode mode = Mode::BlockHeader;
  bool finalBlock = false;
  TInflateError error = TInflateError::None;
  uint64_t bits = 0;      // input bits not used yet, the next one lowest
  unsigned bitCount = 0;  // how many (at most 63); the bits above them are 0
  uint32_t storedLeft = 0;
  unsigned literalLengthCodes = 0, distanceCodes = 0, codeLengthCodes = 0;
  unsigned have = 0;  // code lengths read so far
  uint8_t lengths[kLiteralLengthSymbols + kDistanceSymbols] = {};
  uint32_t copyLength = 0, copyDistance = 0;  // of the match being copied
  const uint32_t* literalLength = nullptr;    // the block's tables
  const uint32_t* distance = nullptr;
  uint32_t literalLengthTable[kLiteralLengthTableSize];
  uint32_t distanceTable[kDistanceTableSize];
  uint32_t codeLengthTable[kCodeLengthTableSize];
  // The output of earlier calls, the latest at windowFill - 1. Twice the
  // window's size, so that it slides once per window's worth of bytes.
  std::unique_ptr<uint8_t[]> window;
  size_t windowFill = 0;
  uint64_t totalOut = 0;
};

namespace {

using State = TInflateState;

// One call's input and output.
struct Cursor {
  const uint8_t* in;
  const uint8_t* inEnd;
  uint8_t* out;
  uint8_t* const outBegin;
  uint8_t* const outEnd;
};

bool Fail(State& s, TInflateError error) {
  s.error = error;
  s.mode = Mode::Failed;
  return false;
}

// Takes input bytes until n bits are held; false when the input ran out first.
bool Need(State& s, Cursor& c, unsigned n) {
  while (s.bitCount < n) {
    if (c.in == c.inEnd) return false;
    s.bits |= uint64_t{*c.in++} << s.bitCount;
    s.bitCount += 8;
  }
  return true;
}

// Takes as many input bytes as the bit buffer holds whole (56 bits or more
// when the input has them: a symbol or a distance with its extra bits).
void Fill(State& s, Cursor& c) {
  while (s.bitCount < 56 && c.in != c.inEnd) {
    s.bits |= uint64_t{*c.in++} << s.bitCount;
    s.bitCount += 8;
  }
}

void Drop(State& s, unsigned n) {
  s.bits >>= n;
  s.bitCount -= n;
}

uint32_t Take(State& s, unsigned n) {
  const uint32_t v = static_cast<uint32_t>(s.bits & ((uint64_t{1} << n) - 1));
  Drop(s, n);
  return v;
}

bool EndBlock(State& s) {
  s.mode = s.finalBlock ? Mode::End : Mode::BlockHeader;
  return true;
}

// The bytes a match may reach back over.
size_t History(const State& s, const Cursor& c) {
  return s.windowFill + static_cast<size_t>(c.out - c.outBegin);
}

// Copies the match being copied until it is done or the output is full.
void CopyMatch(State& s, Cursor& c) {
  while (s.copyLength > 0 && c.out != c.outEnd) {
    const size_t produced = static_cast<size_t>(c.out - c.outBegin);
    size_t n = std::min<size_t>(s.copyLength, static_cast<size_t>(c.outEnd - c.out));
    if (s.copyDistance > produced) {
      const size_t back = s.copyDistance - produced;  // into the window
      n = std::min(n, back);
      std::memcpy(c.out, s.window.get() + s.windowFill - back, n);
    } else if (s.copyDistance >= n) {
      std::memcpy(c.out, c.out - s.copyDistance, n);
    } else {
      const uint8_t* from = c.out - s.copyDistance;  // the match repeats itself
      for (size_t i = 0; i < n; ++i) c.out[i] = from[i];
    }
    c.out += n;
    s.copyLength -= static_cast<uint32_t>(n);
  }
}

// Copies a match of length bytes at distance back within the output,
// writing up to kCopyOverrun bytes past its end, eight bytes at a time:
// each read lies before the write it feeds. A match closer than eight
// bytes repeats a short pattern; copying it once doubles the distance at
// which it repeats, until reads may be eight bytes wide (its first moves
// write bytes past the pattern that the next ones overwrite).
inline void CopyFast(uint8_t* out, uint32_t length, uint32_t distance) {
  uint8_t* const end = out + length;
  if (distance == 1) {
    const uint64_t run = 0x0101010101010101u * out[-1];
    do {
      std::memcpy(out, &run, 8);
      std::memcpy(out + 8, &run, 8);
      out += 16;
    } while (out < end);
    return;
  }
  while (distance < 8) {
    Copy8(out, out - distance);
    out += distance;
    distance *= 2;
  }
  const uint8_t* from = out - distance;
  while (out < end) {
    Copy8(out, from);
    Copy8(out + 8, from + 8);
    out += 16;
    from += 16;
  }
}

// ---- the fast loop -------------------------------------------------------------

// Decodes symbols while the input and the output have the fast loop's room
// (the caller sees to it for the first round), until the block ends, a
// long match (Deflate64) or damage is met.
template <TFormatKind kind>
void DecodeFast(State& s, Cursor& c) {
  // Bits a length with its extra bits takes at most (15 + 5, or 15 + 16).
  constexpr unsigned kMaxLengthBits = kind == TFormatKind::Deflate64 ? 31 : 20;
  constexpr uint32_t kMask = (1u << kLiteralLengthIndexBits) - 1;
  const uint8_t* in = c.in;
  uint8_t* out = c.out;
  const uint8_t* const inLast = c.inEnd - kFastInput;
  uint8_t* const outLast = c.outEnd - kFastOutput;
  uint8_t* const outBegin = c.outBegin;
  const size_t windowFill = s.windowFill;
  const uint32_t* const literalLength = s.literalLength;
  const uint32_t* const distances = s.distance;
  uint64_t bits = s.bits;
  unsigned count = s.bitCount;
  // Whole bytes up to 56 bits or more; the bits above count come from the
  // next byte, which the next load puts in the same place.
  const auto refill = [&] {
    bits |= Load64(in) << count;
    in += (63 - count) >> 3;
    count |= 56;
  };
  const auto drop = [&](unsigned n) {
    bits >>= n;
    count -= n;
  };
  // At the top of each round the bit buffer holds 56 bits or more, and e is
  // the main table's entry for them (a link not yet followed). Each lookup
  // comes before the load of more bits: 11 bits are all it needs.
  refill();
  uint32_t e = literalLength[bits & kMask];
  for (;;) {
    if (e & kLiteral) {
      // Three literals take at most 45 bits: no load between them.
      drop(EntryBits(e));
      uint8_t literal = static_cast<uint8_t>(EntryValue(e));
      e = literalLength[bits & kMask];
      *out++ = literal;
      if (e & kLiteral) {
        drop(EntryBits(e));
        literal = static_cast<uint8_t>(EntryValue(e));
        e = literalLength[bits & kMask];
        *out++ = literal;
        if (e & kLiteral) {
          drop(EntryBits(e));
          literal = static_cast<uint8_t>(EntryValue(e));
          e = literalLength[bits & kMask];
          refill();
          *out++ = literal;
          if (in > inLast || out > outLast) break;
          continue;
        }
      }
    }
    if (e & kLink) [[unlikely]] {
      e = Lookup(literalLength, kLiteralLengthIndexBits, bits);
      if (e & kLiteral) {
        drop(EntryBits(e));
        *out++ = static_cast<uint8_t>(EntryValue(e));
        refill();
        e = literalLength[bits & kMask];
        if (in > inLast || out > outLast) break;
        continue;
      }
    }
    if (e & kSpecial) [[unlikely]] {
      if (e & kEndOfBlock) {
        drop(EntryBits(e));
        EndBlock(s);
      } else {
        Fail(s, TInflateError::InvalidCode);
      }
      break;
    }
    // Two literals leave 26 bits or more: enough for a Deflate length.
    if constexpr (kMaxLengthBits > 26) {
      if (count < kMaxLengthBits) refill();
    }
    const uint32_t length = EntryValueWithExtra(e, bits);
    drop(EntryBits(e));
    refill();
    const uint32_t d = Lookup(distances, kDistanceIndexBits, bits);
    if (d & kInvalid) [[unlikely]] {
      Fail(s, TInflateError::InvalidCode);
      break;
    }
    const uint32_t distance = EntryValueWithExtra(d, bits);
    drop(EntryBits(d));
    e = literalLength[bits & kMask];  // the next symbol's, while the match is copied
    refill();
    const size_t produced = static_cast<size_t>(out - outBegin);
    if (distance > produced || length > kFastMatch) [[unlikely]] {
      if (distance > windowFill + produced) {
        Fail(s, TInflateError::DistanceTooFar);
        break;
      }
      // From the window, or longer than the room reserved: the bounded copy.
      s.copyLength = length;
      s.copyDistance = distance;
      c.out = out;
      CopyMatch(s, c);
      out = c.out;
      if (s.copyLength > 0) {
        s.mode = Mode::Copy;
        break;
      }
    } else {
      CopyFast(out, length, distance);
      out += length;
    }
    if (in > inLast || out > outLast) break;
  }
  // The slow path wants the bits above count clear.
  s.bits = bits & ((uint64_t{1} << count) - 1);
  s.bitCount = count;
  c.in = in;
  c.out = out;
}

// ---- the states ---------------------------------------------------------------------
// Each returns true to go on with the next state, false to stop the call:
// the input is used up, the output is full, or the stream ended or failed.

bool BlockHeader(State& s, Cursor& c) {
  if (!Need(s, c, 3)) return false;
  s.finalBlock = Take(s, 1) != 0;
  switch (Take(s, 2)) {
    case 0:
      s.mode = Mode::StoredLengths;
      return true;
    case 1: {
      const TFixedTables& fixed = FixedTables(s.format.Kind);
      s.literalLength = fixed.LiteralLength;
      s.distance = fixed.Distance;
      s.mode = Mode::Symbols;
      return true;
    }
    case 2:
      s.mode = Mode::TableSizes;
      return true;
    default:
      return Fail(s, TInflateError::InvalidBlockType);
  }
}

bool StoredLengths(State& s, Cursor& c) {
  Drop(s, s.bitCount & 7);  // the lengths start at a byte
  if (!Need(s, c, 32)) return false;
  const uint32_t length = Take(s, 16);
  if (Take(s, 16) != (~length & 0xFFFF)) return Fail(s, TInflateError::StoredLengthMismatch);
  s.storedLeft = length;
  s.mode = Mode::Stored;
  return true;
}

bool Stored(State& s, Cursor& c) {
  // Whole bytes still in the bit buffer come first.
  while (s.storedLeft > 0 && s.bitCount >= 8 && c.out != c.outEnd) {
    *c.out++ = static_cast<uint8_t>(Take(s, 8));
    --s.storedLeft;
  }
  const size_t n = std::min({size_t{s.storedLeft}, static_cast<size_t>(c.inEnd - c.in),
                             static_cast<size_t>(c.outEnd - c.out)});
  if (n > 0) {
    std::memcpy(c.out, c.in, n);
    c.in += n;
    c.out += n;
    s.storedLeft -= static_cast<uint32_t>(n);
  }
  return s.storedLeft == 0 && EndBlock(s);
}

bool TableSizes(State& s, Cursor& c) {
  if (!Need(s, c, 14)) return false;
  s.literalLengthCodes = Take(s, 5) + 257;
  s.distanceCodes = Take(s, 5) + 1;
  s.codeLengthCodes = Take(s, 4) + 4;
  if (s.literalLengthCodes > kMaxLiteralLengthCodes || s.distanceCodes > s.format.DistanceCodes)
    return Fail(s, TInflateError::TooManyCodes);
  s.have = 0;
  s.mode = Mode::CodeLengthCode;
  return true;
}

bool BuildFailed(State& s, TBuildResult result) {
  return Fail(s, result == TBuildResult::Oversubscribed ? TInflateError::OversubscribedCode
                                                        : TInflateError::IncompleteCode);
}

bool CodeLengthCode(State& s, Cursor& c) {
  while (s.have < s.codeLengthCodes) {
    if (!Need(s, c, 3)) return false;
    s.lengths[kCodeLengthOrder[s.have++]] = static_cast<uint8_t>(Take(s, 3));
  }
  while (s.have < kCodeLengthSymbols) s.lengths[kCodeLengthOrder[s.have++]] = 0;
  const TBuildResult built =
      BuildDecodeTable({s.lengths, kCodeLengthSymbols}, kCodeLengthTemplates.data(),
                       kCodeLengthIndexBits, false, s.codeLengthTable, kCodeLengthTableSize);
  if (built != TBuildResult::Ok) return BuildFailed(s, built);
  s.have = 0;
  s.mode = Mode::CodeLengths;
  return true;
}

bool CodeLengths(State& s, Cursor& c) {
  const unsigned total = s.literalLengthCodes + s.distanceCodes;
  while (s.have < total) {
    Fill(s, c);
    // The code is complete and its codes are 7 bits at most: no links, no
    // invalid entries.
    const uint32_t e = s.codeLengthTable[s.bits & (kCodeLengthTableSize - 1)];
    const unsigned codeBits = EntryCodeBits(e);
    if (codeBits > s.bitCount) return false;
    const unsigned symbol = EntryValue(e);
    if (symbol < 16) {
      Drop(s, codeBits);
      s.lengths[s.have++] = static_cast<uint8_t>(symbol);
      continue;
    }
    // 16: the length before, 3-6 times; 17: zero, 3-10 times; 18: zero, 11-138 times.
    const unsigned extraBits = symbol == 16 ? 2 : symbol == 17 ? 3 : 7;
    if (codeBits + extraBits > s.bitCount) return false;
    Drop(s, codeBits);
    const unsigned repeat = (symbol == 18 ? 11 : 3) + Take(s, extraBits);
    if (symbol == 16 && s.have == 0) return Fail(s, TInflateError::BadCodeLengths);
    if (repeat > total - s.have) return Fail(s, TInflateError::BadCodeLengths);
    const uint8_t length = symbol == 16 ? s.lengths[s.have - 1] : 0;
    std::fill_n(s.lengths + s.have, repeat, length);
    s.have += repeat;
  }
  // A block that cannot end is damage.
  if (s.lengths[kEndOfBlockSymbol] == 0) return Fail(s, TInflateError::BadCodeLengths);
  TBuildResult built = BuildDecodeTable(
      {s.lengths, s.literalLengthCodes}, s.format.LiteralLength, kLiteralLengthIndexBits, true,
      s.literalLengthTable, kLiteralLengthTableSize);
  if (built != TBuildResult::Ok) return BuildFailed(s, built);
  built = BuildDecodeTable({s.lengths + s.literalLengthCodes, s.distanceCodes}, s.format.Distance,
                           kDistanceIndexBits, true, s.distanceTable, kDistanceTableSize);
  if (built != TBuildResult::Ok) return BuildFailed(s, built);
  s.literalLength = s.literalLengthTable;
  s.distance = s.distanceTable;
  s.mode = Mode::Symbols;
  return true;
}

bool Symbols(State& s, Cursor& c) {
  for (;;) {
    if (c.inEnd - c.in >= static_cast<ptrdiff_t>(kFastInput) &&
        c.outEnd - c.out >= static_cast<ptrdiff_t>(kFastOutput)) {
      if (s.format.Kind == TFormatKind::Deflate64)
        DecodeFast<TFormatKind::Deflate64>(s, c);
      else
        DecodeFast<TFormatKind::Deflate>(s, c);
      if (s.mode != Mode::Symbols) return s.mode != Mode::Failed;
    }
    if (c.out == c.outEnd) return false;
    Fill(s, c);
    const uint32_t e = Lookup(s.literalLength, kLiteralLengthIndexBits, s.bits);
    if (EntryCodeBits(e) > s.bitCount) return false;
    if (e & kLiteral) {
      Drop(s, EntryBits(e));
      *c.out++ = static_cast<uint8_t>(EntryValue(e));
      continue;
    }
    if (e & kEndOfBlock) {
      Drop(s, EntryBits(e));
      return EndBlock(s);
    }
    if (e & kInvalid) return Fail(s, TInflateError::InvalidCode);
    if (EntryBits(e) > s.bitCount) return false;
    s.copyLength = EntryValueWithExtra(e, s.bits);
    Drop(s, EntryBits(e));
    s.mode = Mode::Distance;
    return true;
  }
}

bool Distance(State& s, Cursor& c) {
  Fill(s, c);
  const uint32_t d = Lookup(s.distance, kDistanceIndexBits, s.bits);
  if (EntryCodeBits(d) > s.bitCount) return false;
  if (d & kInvalid) return Fail(s, TInflateError::InvalidCode);
  if (EntryBits(d) > s.bitCount) return false;
  s.copyDistance = EntryValueWithExtra(d, s.bits);
  Drop(s, EntryBits(d));
  if (s.copyDistance > History(s, c)) return Fail(s, TInflateError::DistanceTooFar);
  s.mode = Mode::Copy;
  return true;
}

bool CopyState(State& s, Cursor& c) {
  CopyMatch(s, c);
  if (s.copyLength > 0) return false;
  s.mode = Mode::Symbols;
  return true;
}

bool Step(State& s, Cursor& c) {
  switch (s.mode) {
    case Mode::BlockHeader: return BlockHeader(s, c);
    case Mode::StoredLengths: return StoredLengths(s, c);
    case Mode::Stored: return Stored(s, c);
    case Mode::TableSizes: return TableSizes(s, c);
    case Mode::CodeLengthCode: return CodeLengthCode(s, c);
    case Mode::CodeLengths: return CodeLengths(s, c);
    case Mode::Symbols: return Symbols(s, c);
    case Mode::Distance: return Distance(s, c);
    case Mode::Copy: return CopyState(s, c);
    case Mode::End:
    case Mode::Failed: break;
  }
  return false;
}

// Keeps the last window's worth of a call's output for the matches of the
// calls after it.
void Remember(State& s, const uint8_t* data, size_t n) {
  if (n == 0) return;
  const size_t size = s.format.WindowSize;
  if (!s.window) s.window = std::make_unique_for_overwrite<uint8_t[]>(2 * size);
  if (n >= size) {
    std::memcpy(s.window.get(), data + n - size, size);
    s.windowFill = size;
    return;
  }
  if (s.windowFill + n > 2 * size) {
    const size_t keep = size - n;
    std::memmove(s.window.get(), s.window.get() + s.windowFill - keep, keep);
    s.windowFill = keep;
  }
  std::memcpy(s.window.get() + s.windowFill, data, n);
  s.windowFill += n;
}

}  // namespace

const char* InflateErrorText(TInflateError error) {
  switch (error) {
    case TInflateError::None: return "no error";
    case TInflateError::InvalidBlockType: return "invalid block type";
    case TInflateError::StoredLengthMismatch: return "invalid stored block lengths";
    case TInflateError::TooManyCodes: return "too many length or distance symbols";
    case TInflateError::OversubscribedCode: return "over-subscribed code lengths";
    case TInflateError::IncompleteCode: return "incomplete code lengths";
    case TInflateError::BadCodeLengths: return "invalid code lengths";
    case TInflateError::InvalidCode: return "invalid literal/length or distance code";
    case TInflateError::DistanceTooFar: return "invalid distance too far back";
  }
  return "unknown error";
}

TInflater::TInflater(TDeflateFormat format) : s_(std::make_unique<TInflateState>(format)) {}
TInflater::~TInflater() = default;

TInflateError TInflater::Error() const { return s_->error; }
uint64_t TInflater::TotalOut() const { return s_->totalOut; }

TInflateStep TInflater::Inflate(std::span<const uint8_t> input, std::span<uint8_t> output) {
  TInflateState& s = *s_;
  Cursor c{input.data(), input.data() + input.size(), output.data(), output.data(),
           output.data() + output.size()};
  while (Step(s, c)) {
  }
  const size_t produced = static_cast<size_t>(c.out - c.outBegin);
  if (s.mode != Mode::End && s.mode != Mode::Failed) Remember(s, c.outBegin, produced);
  s.totalOut += produced;
  const TInflateStatus status = s.mode == Mode::End      ? TInflateStatus::StreamEnd
                                : s.mode == Mode::Failed ? TInflateStatus::Error
                                                         : TInflateStatus::Progress;
  return {status, static_cast<size_t>(c.in - input.data()), produced};
}

}  // namespace zf
