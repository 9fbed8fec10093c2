// Decode-only throughput of the engine's inflate beside zlib's, in one run:
// the first MIB mebibytes of FILE are deflated in memory by zlib at level 6
// (raw, as a ZIP entry holds them), then decoded again and again into a
// 1 MiB output buffer, as the codec drains its chunks; the decoders take
// turns, round after round, and each one's best round counts. Nothing is
// checksummed or written: this is the decoder alone (bench/floor_inflate
// is the whole extraction on one core). Where libdeflate is at hand
// (Linux), its whole-buffer decoder runs too, into a buffer of the whole
// output, the way it would serve entries that fit one.
//
// Times are the decoding thread's processor time, not the clock's: the
// machines this runs on are shared, and a decoder's time on the processor
// is what it costs (the clock's time is printed beside it).
//
// usage: inflate_bench FILE [MIB (64)] [ROUNDS (7)]
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#ifdef ZF_BENCH_LIBDEFLATE
#include <libdeflate.h>
#endif

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

#include "archive/methods/ZFInflate.h"
#include "platform/platform.h"

namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kOutputBuffer = 1 << 20;

// Seconds of processor time the calling thread has used.
double ThreadSeconds() {
#ifdef _WIN32
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  const auto ticks = [](FILETIME t) { return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
  return static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7;
#else
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
#endif
}

int Fail(const char* what) {
  std::fprintf(stderr, "inflate_bench: %s\n", what);
  return 1;
}

Bytes RawDeflate(const Bytes& data) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&z, data.size()));
  z.next_in = const_cast<Bytef*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// Each decoder returns the bytes it decoded, with crc the CRC-32 of them
// when asked for (the first round only).
using Decoder = std::function<size_t(const Bytes& stream, Bytes& out, uint32_t* crc)>;

size_t Ours(const Bytes& stream, Bytes& out, uint32_t* crc) {
  zf::TInflater inflater;
  size_t at = 0, total = 0;
  for (;;) {
    const zf::TInflateStep step = inflater.Inflate({stream.data() + at, stream.size() - at}, out);
    at += step.Consumed;
    total += step.Produced;
    if (crc) *crc = static_cast<uint32_t>(crc32(*crc, out.data(), static_cast<uInt>(step.Produced)));
    if (step.Status != zf::TInflateStatus::Progress || step.Produced < out.size()) return total;
  }
}

size_t Zlib(const Bytes& stream, Bytes& out, uint32_t* crc) {
  z_stream z{};
  inflateInit2(&z, -MAX_WBITS);
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  int status = Z_OK;
  while (status == Z_OK) {
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    status = inflate(&z, Z_NO_FLUSH);
    const uInt produced = static_cast<uInt>(out.size()) - z.avail_out;
    if (crc) *crc = static_cast<uint32_t>(crc32(*crc, out.data(), produced));
  }
  const size_t total = z.total_out;
  inflateEnd(&z);
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Fail("usage: inflate_bench FILE [MIB] [ROUNDS]");
  const size_t mib = argc > 2 ? std::max(1, std::atoi(argv[2])) : 64;
  const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 7;
  zf::os::File file;
  if (!file.Open(argv[1], zf::os::OpenMode::ReadOnlyDenyNone)) return Fail("cannot open FILE");
  Bytes data(mib << 20);
  data.resize(static_cast<size_t>(std::max<int64_t>(0, file.Read(data.data(), data.size()))));
  const Bytes stream = RawDeflate(data);

  struct Contender {
    const char* name;
    Decoder decode;
    size_t outputSize;
    double best = 0, bestWall = 0;
  };
  std::vector<Contender> contenders = {{"zlib " ZLIB_VERSION, Zlib, kOutputBuffer},
                                       {"ours", Ours, kOutputBuffer}};
#ifdef ZF_BENCH_LIBDEFLATE
  libdeflate_decompressor* whole = libdeflate_alloc_decompressor();
  contenders.push_back({"libdeflate (whole buffer)",
                        [whole](const Bytes& s, Bytes& out, uint32_t* crc) {
                          size_t n = 0;
                          libdeflate_deflate_decompress(whole, s.data(), s.size(), out.data(),
                                                        out.size(), &n);
                          if (crc) *crc = static_cast<uint32_t>(crc32(*crc, out.data(), static_cast<uInt>(n)));
                          return n;
                        },
                        data.size() + 1});
#endif
  const uint32_t expected = static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
  for (Contender& c : contenders) {
    Bytes out(c.outputSize);
    uint32_t crc = 0;
    if (c.decode(stream, out, &crc) != data.size() || crc != expected)
      return Fail((std::string(c.name) + " decodes the stream wrong").c_str());
  }
  for (int round = 0; round < rounds; ++round) {
    for (size_t k = 0; k < contenders.size(); ++k) {
      Contender& c = contenders[(k + round) % contenders.size()];
      Bytes out(c.outputSize);
      const auto t0 = std::chrono::steady_clock::now();
      const double cpu0 = ThreadSeconds();
      c.decode(stream, out, nullptr);
      const double cpu = ThreadSeconds() - cpu0;
      const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - t0;
      if (cpu > 0) c.best = std::max(c.best, data.size() / cpu / 1e6);
      c.bestWall = std::max(c.bestWall, data.size() / wall.count() / 1e6);
    }
  }
  std::printf("%zu bytes deflated to %zu (zlib level 6), best of %d rounds, decode only\n",
              data.size(), stream.size(), rounds);
  std::printf("  %-28s %13s %11s %13s\n", "", "processor", "", "clock");
  for (const Contender& c : contenders)
    std::printf("  %-28s %8.1f MB/s %5.2f x zlib %8.1f MB/s\n", c.name, c.best,
                c.best / contenders[0].best, c.bestWall);
  return 0;
}
