// The floor for extracting one deflated entry: the least work any extractor
// must do on one core, with nothing else around it. It reads the local
// header at the start of the archive, inflates the raw data with 1 MiB
// buffers, computes the CRC-32 with the engine's CRC32Update and writes the
// file. The inflate is zlib's, or with "own" the engine's (ZFInflate.h):
// bench/compare.sh times both beside zfx on the same archive.
//
// usage: floor_inflate ARCHIVE OUTPUT [zlib|own]
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "archive/ZFCrc32.h"
#include "archive/ZFRecords.h"
#include "archive/methods/ZFInflate.h"
#include "platform/platform.h"

namespace {

constexpr int64_t kBufferSize = 1 << 20;

int Fail(const char* what) {
  std::fprintf(stderr, "floor_inflate: %s\n", what);
  return 1;
}

// Inflates what comes from read into 1 MiB pieces given to emit. False
// when the data is damaged or runs out early.
using Reader = std::function<int64_t(uint8_t*, int64_t)>;
using Emitter = std::function<bool(const uint8_t*, int64_t)>;

bool InflateZlib(const Reader& read, const Emitter& emit) {
  auto input = std::make_unique_for_overwrite<uint8_t[]>(kBufferSize);
  auto output = std::make_unique_for_overwrite<uint8_t[]>(kBufferSize);
  z_stream strm{};
  if (inflateInit2(&strm, -MAX_WBITS) != Z_OK) return false;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    const int64_t n = read(input.get(), kBufferSize);
    if (n <= 0) break;
    strm.next_in = input.get();
    strm.avail_in = static_cast<uInt>(n);
    do {
      strm.next_out = output.get();
      strm.avail_out = kBufferSize;
      status = inflate(&strm, Z_NO_FLUSH);
      if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) break;
      if (!emit(output.get(), kBufferSize - strm.avail_out)) status = Z_DATA_ERROR;
    } while (strm.avail_out == 0 && status != Z_DATA_ERROR);
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) break;
  }
  inflateEnd(&strm);
  return status == Z_STREAM_END;
}

bool InflateOwn(const Reader& read, const Emitter& emit) {
  auto input = std::make_unique_for_overwrite<uint8_t[]>(kBufferSize);
  auto output = std::make_unique_for_overwrite<uint8_t[]>(kBufferSize);
  zf::TInflater inflater;
  for (;;) {
    const int64_t n = read(input.get(), kBufferSize);
    if (n <= 0) return false;
    std::span<const uint8_t> in(input.get(), static_cast<size_t>(n));
    for (;;) {
      const zf::TInflateStep step = inflater.Inflate(in, {output.get(), kBufferSize});
      in = in.subspan(step.Consumed);
      if (step.Status == zf::TInflateStatus::Error) return false;
      if (!emit(output.get(), static_cast<int64_t>(step.Produced))) return false;
      if (step.Status == zf::TInflateStatus::StreamEnd) return true;
      if (step.Produced < kBufferSize) break;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const bool own = argc == 4 && std::strcmp(argv[3], "own") == 0;
  if (argc != 3 && !(argc == 4 && (own || std::strcmp(argv[3], "zlib") == 0)))
    return Fail("usage: floor_inflate ARCHIVE OUTPUT [zlib|own]");
  zf::os::File in, out;
  if (!in.Open(argv[1], zf::os::OpenMode::ReadOnlyDenyNone)) return Fail("cannot open archive");
  if (!out.Open(argv[2], zf::os::OpenMode::Create)) return Fail("cannot create output");

  uint8_t raw[zf::kLocalFileHeaderSize];
  zf::TLocalFileHeader local;
  if (in.Read(raw, sizeof raw) != sizeof raw || !zf::ReadLocalFileHeader(raw, local) ||
      local.Method != zf::kMethodDeflated)
    return Fail("the archive must start with a deflated entry");
  in.Seek(local.NameLength + local.ExtraLength, zf::os::SeekOrigin::Current);

  int64_t left = local.CompressedSize;
  uint32_t crc = 0xFFFFFFFF;
  bool written = true;
  const Reader read = [&](uint8_t* buffer, int64_t most) -> int64_t {
    const int64_t n = in.Read(buffer, left < most ? left : most);
    if (n > 0) left -= n;
    return n;
  };
  const Emitter emit = [&](const uint8_t* data, int64_t n) {
    crc = zf::CRC32Update(crc, data, static_cast<int32_t>(n));
    written = out.Write(data, n) == n;
    return written;
  };
  if (!(own ? InflateOwn(read, emit) : InflateZlib(read, emit)))
    return Fail(written ? "damaged data" : "short write");
  if (~crc != local.Crc32) return Fail("CRC-32 mismatch");
  return 0;
}
