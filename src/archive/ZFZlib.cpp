#include "archive/ZFZlib.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace zf {

void* ZlibAlloc(void* /*opaque*/, unsigned items, unsigned size) {
  return std::calloc(items, size);
}

void ZlibFree(void* /*opaque*/, void* block) { std::free(block); }

int DecompressCheck(int status) {
  if (status < 0) throw EDecompressionError("error");
  return status;
}

namespace {

[[noreturn]] void Fail() { throw EDecompressionError("error"); }

size_t ClampToSize(uint64_t n) {
  return n > SIZE_MAX ? SIZE_MAX : static_cast<size_t>(n);
}

// Deflate never decodes more than 1032 bytes per input byte (a 258-byte
// match in two bits); the constant covers the first literals.
size_t MaxInflatedSize(size_t inputSize) {
  return ClampToSize(static_cast<uint64_t>(inputSize) * 1032 + 1024);
}

// Ends the decompressor on every way out of InflateInPieces.
class InflateSession {
 public:
  explicit InflateSession(z_stream& strm) : strm_(strm) {
    DecompressCheck(inflateInit(&strm_));
  }
  ~InflateSession() { inflateEnd(&strm_); }
  InflateSession(const InflateSession&) = delete;
  InflateSession& operator=(const InflateSession&) = delete;

 private:
  z_stream& strm_;
};

}  // namespace

bool InflateInPieces(std::span<const uint8_t> input, std::span<uint8_t> piece,
                     const std::function<bool(std::span<const uint8_t>)>& onPiece) {
  if (input.size() > UINT_MAX || piece.empty()) Fail();
  z_stream strm{};
  strm.zalloc = ZlibAlloc;
  strm.zfree = ZlibFree;
  strm.next_in = const_cast<Bytef*>(input.data());
  strm.avail_in = static_cast<uInt>(input.size());
  InflateSession session(strm);
  const uInt room = static_cast<uInt>(std::min<size_t>(piece.size(), UINT_MAX));
  for (;;) {
    strm.next_out = piece.data();
    strm.avail_out = room;
    const int status = DecompressCheck(inflate(&strm, Z_NO_FLUSH));
    // No dictionary is ever preset; a stream that asks for one cannot be read.
    if (status == Z_NEED_DICT) Fail();
    const size_t produced = room - strm.avail_out;
    if (produced > 0 && !onPiece(piece.first(produced))) return false;
    if (status == Z_STREAM_END) return true;
    // Room left over means the input ran out before the stream ended.
    if (strm.avail_out != 0) Fail();
  }
}

std::vector<uint8_t> InflateWholeBuffer(std::span<const uint8_t> input, size_t pieceSize,
                                        size_t outputLimit) {
  const uint64_t step = (static_cast<uint64_t>(input.size()) + 255) & ~uint64_t{255};
  size_t size = pieceSize != 0 ? pieceSize : ClampToSize(step);
  size = std::max<size_t>(1, std::min(size, MaxInflatedSize(input.size())));
  std::vector<uint8_t> piece(size), out;
  InflateInPieces(input, piece, [&](std::span<const uint8_t> bytes) {
    if (bytes.size() > outputLimit - out.size()) Fail();
    out.insert(out.end(), bytes.begin(), bytes.end());
    return true;
  });
  return out;
}

TZFCompressionLevel ModeToLevel(int mode) {
  if (mode >= 1 && mode <= 3) return clFastest;
  if (mode >= 4 && mode <= 6) return clNormal;
  if (mode >= 7 && mode <= 9) return clMax;
  return clNone;
}

uint8_t LevelToMode(TZFCompressionLevel level) {
  switch (level) {
    case clFastest: return 1;
    case clNormal: return 6;
    case clMax: return 9;
    case clNone: break;
  }
  return 0;
}

std::array<uint8_t, 2> ModeToZlibHeader(int mode) {
  uint8_t second = 0xDA;
  if (mode == 1 || mode == 2) second = 0x01;
  if (mode == 3 || mode == 4) second = 0x5E;
  if (mode == 5 || mode == 6) second = 0x9C;
  return {0x78, second};
}

}  // namespace zf
