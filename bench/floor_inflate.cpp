// The floor for extracting one deflated entry: the least work any extractor
// must do on one core, with nothing else around it. It reads the local
// header at the start of the archive, inflates the raw data with 1 MiB
// buffers, computes the CRC-32 with the engine's CRC32Update and writes the
// file. bench/compare.sh times it beside zfx on the same archive.
//
// usage: floor_inflate ARCHIVE OUTPUT
#include <zlib.h>

#include <cstdio>
#include <memory>

#include "archive/ZFCrc32.h"
#include "archive/ZFRecords.h"
#include "platform/platform.h"

namespace {

constexpr int64_t kBufferSize = 1 << 20;

int Fail(const char* what) {
  std::fprintf(stderr, "floor_inflate: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Fail("usage: floor_inflate ARCHIVE OUTPUT");
  zf::os::File in, out;
  if (!in.Open(argv[1], zf::os::OpenMode::ReadOnlyDenyNone)) return Fail("cannot open archive");
  if (!out.Open(argv[2], zf::os::OpenMode::Create)) return Fail("cannot create output");

  uint8_t raw[zf::kLocalFileHeaderSize];
  zf::TLocalFileHeader local;
  if (in.Read(raw, sizeof raw) != sizeof raw || !zf::ReadLocalFileHeader(raw, local) ||
      local.Method != zf::kMethodDeflated)
    return Fail("the archive must start with a deflated entry");
  in.Seek(local.NameLength + local.ExtraLength, zf::os::SeekOrigin::Current);

  auto input = std::make_unique_for_overwrite<uint8_t[]>(kBufferSize);
  auto output = std::make_unique_for_overwrite<uint8_t[]>(kBufferSize);
  z_stream strm{};
  if (inflateInit2(&strm, -MAX_WBITS) != Z_OK) return Fail("inflateInit2");
  int64_t left = local.CompressedSize;
  uint32_t crc = 0xFFFFFFFF;
  int status = Z_OK;
  while (left > 0 && status != Z_STREAM_END) {
    const int64_t n = in.Read(input.get(), left < kBufferSize ? left : kBufferSize);
    if (n <= 0) return Fail("short read");
    left -= n;
    strm.next_in = input.get();
    strm.avail_in = static_cast<uInt>(n);
    do {
      strm.next_out = output.get();
      strm.avail_out = kBufferSize;
      status = inflate(&strm, Z_NO_FLUSH);
      if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
        return Fail("damaged data");
      const int64_t produced = kBufferSize - strm.avail_out;
      crc = zf::CRC32Update(crc, output.get(), static_cast<int32_t>(produced));
      if (out.Write(output.get(), produced) != produced) return Fail("short write");
    } while (strm.avail_out == 0);
  }
  inflateEnd(&strm);
  if (~crc != local.Crc32) return Fail("CRC-32 mismatch");
  return 0;
}
