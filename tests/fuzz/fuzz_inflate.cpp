// The streaming inflate against zlib's: the same raw deflate stream, fed to
// ours in pseudo-random pieces of input and output (from a byte or two,
// which keeps it on the symbol-by-symbol path, to tens of kilobytes, where
// the fast loop runs) and to zlib's whole.
//
// A decoder's verdict is "complete" (the final block ended) or a rejection:
// refused as damaged, or cut short (the input ended first). The verdicts
// must agree; on a complete stream the outputs are the same; on a rejected
// one, one output is a prefix of the other (a decoder may see damage later,
// never decode it differently). Any difference is a finding.
//
// Deflate64 has no decoder to compare with: the same bytes read as
// Deflate64 must give the same verdict and the same output whole and in
// pieces.
//
// Input: four bytes that seed the pieces, then the stream. Outputs stop at
// kOutputLimit (a stream expands up to 1032 times): streams not done by
// then compare what they have.
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "archive/methods/ZFInflate.h"

namespace {

constexpr size_t kOutputLimit = size_t{1} << 20;
constexpr size_t kZlibPiece = 65536;

enum class Verdict { Complete, Refused, CutShort, TooLong };

bool Rejected(Verdict v) { return v == Verdict::Refused || v == Verdict::CutShort; }

struct Result {
  Verdict verdict = Verdict::CutShort;
  std::vector<uint8_t> out;
};

// Piece sizes: mostly tiny or large, now and then anything up to 64 KiB.
class Pieces {
 public:
  explicit Pieces(uint32_t seed) : x_(seed | 1) {}
  size_t Next() {
    x_ ^= x_ << 13, x_ ^= x_ >> 17, x_ ^= x_ << 5;
    switch (x_ & 3) {
      case 0: return 1 + (x_ >> 8) % 8;
      case 1: return 1 + (x_ >> 8) % 300;
      default: return 1 + (x_ >> 8) % 65536;
    }
  }

 private:
  uint32_t x_;
};

Result Ours(zf::TDeflateFormat format, std::span<const uint8_t> stream, uint32_t seed) {
  zf::TInflater inflater(format);
  Pieces pieces(seed);
  Result r;
  std::vector<uint8_t> room(65536);
  size_t at = 0;
  while (r.out.size() < kOutputLimit) {
    const size_t n = seed == 0 ? stream.size() - at : std::min(stream.size() - at, pieces.Next());
    const size_t m = seed == 0 ? room.size() : pieces.Next();
    const zf::TInflateStep step = inflater.Inflate(stream.subspan(at, n), {room.data(), m});
    at += step.Consumed;
    r.out.insert(r.out.end(), room.begin(), room.begin() + step.Produced);
    if (step.Status == zf::TInflateStatus::StreamEnd) r.verdict = Verdict::Complete;
    if (step.Status == zf::TInflateStatus::Error) r.verdict = Verdict::Refused;
    if (step.Status != zf::TInflateStatus::Progress) return r;
    if (at == stream.size() && step.Produced < m) return r;  // cut short
  }
  r.verdict = Verdict::TooLong;
  return r;
}

Result Zlib(std::span<const uint8_t> stream) {
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) std::abort();
  Result r;
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  std::vector<uint8_t> room(kZlibPiece);
  while (r.out.size() < kOutputLimit) {
    z.next_out = room.data();
    z.avail_out = static_cast<uInt>(room.size());
    const int status = inflate(&z, Z_NO_FLUSH);
    r.out.insert(r.out.end(), room.begin(), room.end() - z.avail_out);
    if (status == Z_STREAM_END) r.verdict = Verdict::Complete;
    if (status == Z_DATA_ERROR) r.verdict = Verdict::Refused;
    if (status != Z_OK || z.avail_out != 0) break;  // Z_BUF_ERROR: cut short
  }
  if (r.out.size() >= kOutputLimit && r.verdict == Verdict::CutShort) r.verdict = Verdict::TooLong;
  inflateEnd(&z);
  return r;
}

[[noreturn]] void Differ(const char* what, const Result& a, const Result& b) {
  std::fprintf(::fdopen(2, "w"), "%s: verdicts %d and %d, outputs of %zu and %zu bytes\n", what,
               static_cast<int>(a.verdict), static_cast<int>(b.verdict), a.out.size(),
               b.out.size());
  std::abort();
}

// Outputs of streams that were cut at kOutputLimit count as rejections
// with what they have.
void Compare(const char* what, const Result& a, const Result& b) {
  const bool undecided = a.verdict == Verdict::TooLong || b.verdict == Verdict::TooLong;
  if (!undecided && Rejected(a.verdict) != Rejected(b.verdict)) Differ(what, a, b);
  if (!undecided && !Rejected(a.verdict)) {
    if (a.out != b.out) Differ(what, a, b);
    return;
  }
  const size_t common = std::min(a.out.size(), b.out.size());
  if (!std::equal(a.out.begin(), a.out.begin() + common, b.out.begin())) Differ(what, a, b);
}

// Our decoder whole and in pieces: the same in every way.
void CompareOurs(const char* what, const Result& a, const Result& b) {
  if (a.verdict == Verdict::TooLong || b.verdict == Verdict::TooLong) return Compare(what, a, b);
  if (a.verdict != b.verdict || a.out != b.out) Differ(what, a, b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint32_t seed = data[0] | data[1] << 8 | data[2] << 16 | uint32_t{data[3]} << 24;
  const std::span<const uint8_t> stream(data + 4, size - 4);
  Compare("deflate against zlib", Ours(zf::TDeflateFormat::Deflate, stream, seed), Zlib(stream));
  CompareOurs("deflate64 whole and in pieces", Ours(zf::TDeflateFormat::Deflate64, stream, 0),
          Ours(zf::TDeflateFormat::Deflate64, stream, seed | 1));
  return 0;
}
