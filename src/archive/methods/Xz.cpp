// Method 95 through liblzma's .xz stream decoder: one whole .xz stream,
// its integrity check verified, its memory held to kMaxDecoderMemory.
#include "archive/methods/Factories.h"
#include "archive/methods/LzmaStream.h"

namespace zf {

namespace {

class TXzDecompressor : public IZFDecompressor {
 public:
  TXzDecompressor() {
    TZFCause cause = TZFCause::None;
    const lzma_ret status = lzma_stream_decoder(&stream_.Stream(), kMaxDecoderMemory, 0);
    if (TLzmaStream::Result(status, cause) == TZFDecodeStatus::Failed) startFailure_ = cause;
  }

  TZFDecodeStatus Decode(TZFCodecBuffers& b) override {
    if (startFailure_ != TZFCause::None) return Failed(startFailure_);
    TZFCause cause = TZFCause::None;
    const TZFDecodeStatus status = stream_.Step(b, cause);
    return status == TZFDecodeStatus::Failed ? Failed(cause) : status;
  }
  TZFCause Finish() override { return TZFCause::Truncated; }

 private:
  TLzmaStream stream_;
  TZFCause startFailure_ = TZFCause::None;
};

}  // namespace

std::unique_ptr<IZFDecompressor> MakeXzDecompressor(const TZFMethodParams&) {
  return std::make_unique<TXzDecompressor>();
}

}  // namespace zf
