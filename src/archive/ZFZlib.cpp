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

// Ends the decompressor on every way out of InflateWholeBuffer.
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

std::vector<uint8_t> InflateWholeBuffer(std::span<const uint8_t> input, size_t firstSize,
                                        size_t outputLimit) {
  if (input.size() > UINT_MAX) Fail();
  const uint64_t step = (static_cast<uint64_t>(input.size()) + 255) & ~uint64_t{255};
  // One byte of room beyond the limit tells a stream that overruns it from
  // one that ends exactly there.
  const size_t capacity = outputLimit == SIZE_MAX ? SIZE_MAX : outputLimit + 1;
  size_t size = firstSize != 0 ? firstSize : ClampToSize(step);
  size = std::max<size_t>(1, std::min({size, capacity, MaxInflatedSize(input.size())}));
  std::vector<uint8_t> out(size);

  z_stream strm{};
  strm.zalloc = ZlibAlloc;
  strm.zfree = ZlibFree;
  strm.next_in = const_cast<Bytef*>(input.data());
  strm.avail_in = static_cast<uInt>(input.size());
  InflateSession session(strm);

  size_t produced = 0;
  for (;;) {
    strm.next_out = out.data() + produced;
    strm.avail_out = static_cast<uInt>(std::min<size_t>(out.size() - produced, UINT_MAX));
    const uInt room = strm.avail_out;
    const int status = DecompressCheck(inflate(&strm, Z_NO_FLUSH));
    produced += room - strm.avail_out;
    if (produced > outputLimit) Fail();
    if (status == Z_STREAM_END) break;
    // No dictionary is ever preset; a stream that asks for one cannot be read.
    if (status == Z_NEED_DICT) Fail();
    // Room left over means the input ran out before the stream ended.
    if (strm.avail_out != 0) Fail();
    if (produced == out.size()) {
      if (out.size() >= capacity) Fail();
      const uint64_t grown = out.size() + std::max<uint64_t>(step, out.size());
      out.resize(std::min(capacity, ClampToSize(grown)));
    }
  }
  out.resize(produced);
  return out;
}

bool SafeDecompress(std::span<const uint8_t> input, std::vector<uint8_t>& output,
                    size_t firstSize, size_t outputLimit, bool run) {
  output.clear();
  if (!run || input.empty()) return false;
  try {
    output = InflateWholeBuffer(input, firstSize, outputLimit);
  } catch (const std::exception&) {
    output.clear();
    return false;
  }
  return !output.empty();
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
