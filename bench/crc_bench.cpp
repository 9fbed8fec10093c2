// Throughput of CRC-32 and of the traditional cipher, side by side in one
// run: the byte-at-a-time reference loop, slicing-by-16, folding with
// carry-less multiplication (where the processor has it; the engine then
// chooses it), and DecryptBuffer. A 1 MiB buffer of pseudo-random bytes is
// processed repeatedly (256 MiB by default; the first argument sets the MiB
// count), as the codec does with its 1 MiB chunks.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "archive/ZFCipher.h"
#include "archive/ZFCrc32.h"

namespace {

constexpr int32_t kChunk = 1 << 20;

// Runs body mib times per round and returns the MiB/s of the fastest of
// three rounds.
template <typename Body>
double MiBPerSecond(int mib, Body body) {
  double best = 0;
  for (int round = 0; round < 3; ++round) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < mib; ++i) body();
    const std::chrono::duration<double> dt = std::chrono::steady_clock::now() - t0;
    if (dt.count() > 0 && mib / dt.count() > best) best = mib / dt.count();
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int mib = argc > 1 ? std::max(1, std::atoi(argv[1])) : 256;
  std::vector<uint8_t> buffer(kChunk + 1);
  uint32_t x = 2463534242u;
  for (auto& b : buffer) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x);
  }
  // Start one byte in, so the sliced loop runs on a misaligned buffer as it
  // may in the codec.
  const uint8_t* data = buffer.data() + 1;

  uint32_t crcBytewise = 0xFFFFFFFF, crcSliced = 0xFFFFFFFF, crcFolded = 0xFFFFFFFF;
  const double bytewise =
      MiBPerSecond(mib, [&] { crcBytewise = zf::CRC32UpdateBytewise(crcBytewise, data, kChunk); });
  const double sliced =
      MiBPerSecond(mib, [&] { crcSliced = zf::CRC32UpdateSliced(crcSliced, data, kChunk); });
  const bool fold = zf::CRC32FoldAvailable();
  const double folded =
      fold ? MiBPerSecond(mib, [&] { crcFolded = zf::CRC32UpdateFolded(crcFolded, data, kChunk); })
           : 0;
  if (crcBytewise != crcSliced || (fold && crcFolded != crcSliced)) {
    std::fprintf(stderr, "CRC mismatch: bytewise %08X, sliced %08X, folded %08X\n", crcBytewise,
                 crcSliced, crcFolded);
    return 1;
  }

  zf::TZFKeys keys;
  zf::InitKeys("vor krat unpackr lorimen K.t.", keys);
  std::vector<uint8_t> work(buffer.begin(), buffer.begin() + kChunk);
  const double decrypt =
      MiBPerSecond(mib, [&] { zf::DecryptBuffer(work.data(), kChunk, keys); });

  std::printf("data: %d MiB per round (1 MiB buffer, misaligned start), best of 3 rounds\n", mib);
  std::printf("CRC-32 bytewise       %9.1f MiB/s\n", bytewise);
  std::printf("CRC-32 slicing-by-16  %9.1f MiB/s  %6.2f x bytewise\n", sliced, sliced / bytewise);
  if (fold)
    std::printf("CRC-32 folding        %9.1f MiB/s  %6.2f x bytewise (the engine's choice)\n",
                folded, folded / bytewise);
  else
    std::printf("CRC-32 folding        (this processor has no carry-less multiplication)\n");
  std::printf("DecryptBuffer         %9.1f MiB/s\n", decrypt);
  std::printf("(check: CRC %08X, key0 %08X)\n", ~crcSliced, static_cast<uint32_t>(keys.key0));
  return 0;
}
