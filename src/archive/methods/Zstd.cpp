// Method 93 through libzstd's streaming decoder: one or more frames, the
// last of which must end with the entry's data. The window a frame may ask
// for is held to kMaxDecoderMemory.
#include <zstd.h>
#include <zstd_errors.h>

#include <bit>

#include "archive/methods/Factories.h"

namespace zf {

namespace {

class TZstdDecompressor : public IZFDecompressor {
 public:
  TZstdDecompressor() : ctx_(ZSTD_createDCtx()) {
    if (ctx_ != nullptr)
      ZSTD_DCtx_setParameter(ctx_, ZSTD_d_windowLogMax, std::bit_width(kMaxDecoderMemory) - 1);
  }
  ~TZstdDecompressor() override { ZSTD_freeDCtx(ctx_); }
  TZstdDecompressor(const TZstdDecompressor&) = delete;
  TZstdDecompressor& operator=(const TZstdDecompressor&) = delete;

  TZFDecodeStatus Decode(TZFCodecBuffers& b) override {
    if (ctx_ == nullptr) return Failed(TZFCause::SystemError);
    ZSTD_inBuffer in{b.In, b.InLeft, 0};
    ZSTD_outBuffer out{b.Out, b.OutLeft, 0};
    // The decoder stops at the end of each frame, and the next one may
    // follow in the same input; a call without input flushes what a full
    // buffer left behind.
    do {
      const size_t consumed = in.pos;
      const size_t result = ZSTD_decompressStream(ctx_, &out, &in);
      if (ZSTD_isError(result)) {
        const ZSTD_ErrorCode code = ZSTD_getErrorCode(result);
        return Failed(code == ZSTD_error_memory_allocation ||
                              code == ZSTD_error_frameParameter_windowTooLarge
                          ? TZFCause::SystemError
                          : TZFCause::DamagedData);
      }
      if (result == 0) frameEnded_ = true;       // a frame decoded and flushed
      else if (in.pos != consumed) frameEnded_ = false;  // into the next one
    } while (in.pos < in.size && out.pos < out.size);
    b.In += in.pos;
    b.InLeft -= in.pos;
    b.Out += out.pos;
    b.OutLeft -= out.pos;
    return TZFDecodeStatus::Ok;
  }
  TZFCause Finish() override { return frameEnded_ ? TZFCause::None : TZFCause::Truncated; }

 private:
  ZSTD_DCtx* ctx_;
  bool frameEnded_ = false;  // the input so far ends with a complete frame
};

}  // namespace

std::unique_ptr<IZFDecompressor> MakeZstdDecompressor(const TZFMethodParams&) {
  return std::make_unique<TZstdDecompressor>();
}

}  // namespace zf
