// The wizard's check of its package before the first page, on a package of
// a few hundred MB: the whole check (CheckPackageDigest: read in 1 MiB
// pieces, the platform's SHA-256, progress after each piece) over a file
// written for the run, beside SHA-256 alone over a buffer in memory, so the
// share of the disk (or the page cache) and of the hash is seen. The first
// argument sets the MiB count (300 by default), the second the folder of
// the file (the system's temporary folder by default). Each figure is the
// fastest of three rounds, with the slowest beside it. Run the Windows
// build under Wine for CNG's figures; sha256sum on the same file is the
// peer to print beside it.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/ZFStrFunc.h"
#include "package/PackageStamp.h"
#include "platform/platform.h"
#include "wizard/PackageCheck.h"

namespace {

constexpr size_t kChunk = 1 << 20;

struct Rounds {
  double best = 0, worst = 1e300;  // MiB/s
};

template <typename Body>
Rounds MiBPerSecond(int mib, Body body) {
  Rounds r;
  for (int round = 0; round < 3; ++round) {
    const auto t0 = std::chrono::steady_clock::now();
    body();
    const std::chrono::duration<double> dt = std::chrono::steady_clock::now() - t0;
    const double rate = mib / std::max(dt.count(), 1e-9);
    r.best = std::max(r.best, rate);
    r.worst = std::min(r.worst, rate);
  }
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const int mib = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
  const std::string folder =
      zf::AddTrailingDelimiter(argc > 2 ? std::string(argv[2]) : zf::os::TempDirectory());
  const std::string path = folder + "digest_bench.stp";

  std::vector<uint8_t> piece(kChunk);
  uint32_t x = 2463534242u;
  for (auto& b : piece) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x);
  }
  setup::TPackageStamp stamp;
  stamp.flags = setup::kStampDigest;
  stamp.size = static_cast<uint64_t>(mib) * kChunk;
  {
    zf::os::File out;
    zf::os::Sha256 sha;
    if (!out.Open(path, zf::os::OpenMode::Create)) {
      std::fprintf(stderr, "digest_bench: cannot create %s\n", path.c_str());
      return 1;
    }
    for (int i = 0; i < mib; ++i) {
      piece[0] = static_cast<uint8_t>(i);  // no two pieces alike
      out.Write(piece.data(), kChunk);
      sha.Update(piece.data(), kChunk);
    }
    stamp.sha256 = sha.Final();
  }

  bool ok = true;
  const Rounds check = MiBPerSecond(mib, [&] {
    zf::os::File file;
    ok = ok && setup::CheckPackageDigest(file, path, stamp, [](int) {}).empty();
  });
  const Rounds hash = MiBPerSecond(mib, [&] {
    zf::os::Sha256 sha;
    for (int i = 0; i < mib; ++i) sha.Update(piece.data(), kChunk);
    (void)sha.Final();
  });
  zf::os::RemoveFile(path);
  if (!ok) {
    std::fprintf(stderr, "digest_bench: the check failed on its own file\n");
    return 1;
  }
  std::printf("package digest check, %d MiB (fastest / slowest of 3 rounds)\n", mib);
  std::printf("  CheckPackageDigest (file, 1 MiB reads)  %8.0f / %8.0f MiB/s\n", check.best,
              check.worst);
  std::printf("  SHA-256 alone (memory)                  %8.0f / %8.0f MiB/s\n", hash.best,
              hash.worst);
  return 0;
}
