// Method 8 through zlib's raw inflate, in builds with ZF_ZLIB_INFLATE (the
// reference beside the engine's own inflate, Deflate.cpp). ZIP's deflate data has no zlib
// header or Adler-32 trailer; the end of the entry is the end of its
// compressed size, so a stream that has not reached its final block there
// is judged by the entry's size and CRC-32, not refused here.
#include <zlib.h>

#include <algorithm>
#include <climits>

#include "archive/ZFZlib.h"
#include "archive/methods/Factories.h"

namespace zf {

namespace {

class TDeflateZlib : public IZFDecompressor {
 public:
  TDeflateZlib() {
    strm_.zalloc = ZlibAlloc;
    strm_.zfree = ZlibFree;
    started_ = inflateInit2(&strm_, -MAX_WBITS) == Z_OK;
  }
  ~TDeflateZlib() override {
    if (started_) inflateEnd(&strm_);
  }
  TDeflateZlib(const TDeflateZlib&) = delete;
  TDeflateZlib& operator=(const TDeflateZlib&) = delete;

  TZFDecodeStatus Decode(TZFCodecBuffers& b) override {
    if (!started_) return Failed(TZFCause::SystemError);
    // zlib counts in 32 bits; the codec's chunks and buffers are far smaller.
    const uInt in = static_cast<uInt>(std::min<size_t>(b.InLeft, UINT_MAX));
    const uInt out = static_cast<uInt>(std::min<size_t>(b.OutLeft, UINT_MAX));
    strm_.next_in = const_cast<Bytef*>(b.In);
    strm_.avail_in = in;
    strm_.next_out = b.Out;
    strm_.avail_out = out;
    const int status = inflate(&strm_, Z_NO_FLUSH);
    b.In += in - strm_.avail_in;
    b.InLeft -= in - strm_.avail_in;
    b.Out += out - strm_.avail_out;
    b.OutLeft -= out - strm_.avail_out;
    switch (status) {
      case Z_OK:
      case Z_BUF_ERROR:  // no progress possible: all input used, or no room
        return TZFDecodeStatus::Ok;
      case Z_STREAM_END:
        return TZFDecodeStatus::End;
      case Z_MEM_ERROR:
        return Failed(TZFCause::SystemError);
      default:
        return Failed(TZFCause::DamagedData, strm_.msg);
    }
  }
  TZFCause Finish() override { return TZFCause::None; }

 private:
  z_stream strm_{};
  bool started_ = false;
};

}  // namespace

std::unique_ptr<IZFDecompressor> MakeZlibDeflateDecompressor(const TZFMethodParams&) {
  return std::make_unique<TDeflateZlib>();
}

}  // namespace zf
