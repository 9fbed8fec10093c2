// Method 12 through libbz2's streaming decompressor: one bzip2 stream,
// which must end within the entry's data.
#include <bzlib.h>

#include <algorithm>
#include <climits>

#include "archive/methods/Factories.h"

namespace zf {

namespace {

class TBZip2Decompressor : public IZFDecompressor {
 public:
  TBZip2Decompressor() { started_ = BZ2_bzDecompressInit(&strm_, 0, 0) == BZ_OK; }
  ~TBZip2Decompressor() override {
    if (started_) BZ2_bzDecompressEnd(&strm_);
  }
  TBZip2Decompressor(const TBZip2Decompressor&) = delete;
  TBZip2Decompressor& operator=(const TBZip2Decompressor&) = delete;

  TZFDecodeStatus Decode(TZFCodecBuffers& b) override {
    if (!started_) return Failed(TZFCause::SystemError);
    const unsigned in = static_cast<unsigned>(std::min<size_t>(b.InLeft, UINT_MAX));
    const unsigned out = static_cast<unsigned>(std::min<size_t>(b.OutLeft, UINT_MAX));
    strm_.next_in = const_cast<char*>(reinterpret_cast<const char*>(b.In));
    strm_.avail_in = in;
    strm_.next_out = reinterpret_cast<char*>(b.Out);
    strm_.avail_out = out;
    const int status = BZ2_bzDecompress(&strm_);
    b.In += in - strm_.avail_in;
    b.InLeft -= in - strm_.avail_in;
    b.Out += out - strm_.avail_out;
    b.OutLeft -= out - strm_.avail_out;
    switch (status) {
      case BZ_OK: return TZFDecodeStatus::Ok;
      case BZ_STREAM_END: return TZFDecodeStatus::End;
      case BZ_MEM_ERROR: return Failed(TZFCause::SystemError);
      default: return Failed(TZFCause::DamagedData);  // BZ_DATA_ERROR, BZ_DATA_ERROR_MAGIC
    }
  }
  // Called only while the stream has not ended.
  TZFCause Finish() override { return TZFCause::Truncated; }

 private:
  bz_stream strm_{};
  bool started_ = false;
};

}  // namespace

std::unique_ptr<IZFDecompressor> MakeBZip2Decompressor(const TZFMethodParams&) {
  return std::make_unique<TBZip2Decompressor>();
}

}  // namespace zf
