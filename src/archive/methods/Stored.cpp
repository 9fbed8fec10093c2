// Method 0: the data is the plain bytes; the stream ends with the entry's
// compressed size.
#include <algorithm>
#include <cstring>

#include "archive/methods/Factories.h"

namespace zf {

namespace {

class TStoredDecompressor : public IZFDecompressor {
 public:
  TZFDecodeStatus Decode(TZFCodecBuffers& b) override {
    const size_t n = std::min(b.InLeft, b.OutLeft);
    if (n > 0) std::memcpy(b.Out, b.In, n);
    b.In += n;
    b.InLeft -= n;
    b.Out += n;
    b.OutLeft -= n;
    return TZFDecodeStatus::Ok;
  }
  TZFCause Finish() override { return TZFCause::None; }
};

}  // namespace

std::unique_ptr<IZFDecompressor> MakeStoredDecompressor(const TZFMethodParams&) {
  return std::make_unique<TStoredDecompressor>();
}

}  // namespace zf
