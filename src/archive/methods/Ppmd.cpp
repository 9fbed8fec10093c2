// Method 98: PPMd variant I, revision 1, with the model of PpmdModel.h. No
// library has it on either target, so this engine decodes it itself.
//
// The data starts with two bytes (little-endian): the model order less one
// (bits 0-3), the model's memory in MiB less one (bits 4-11) and how the
// model goes on when that memory is full (bits 12-15). The range coder's
// bytes follow; the stream ends with an escape out of the order-0 context,
// after which the coder's code must be 0.
//
// A symbol is decoded whole or not at all: the model changes as it goes.
// So input is gathered in a window and a symbol is decoded only while the
// window holds more than one symbol can read (kSymbolBytes), or when the
// entry's data has all come in. A read past the end then means the data
// was cut short.
#include <algorithm>
#include <cstring>

#include "archive/methods/Factories.h"
#include "archive/methods/PpmdModel.h"

namespace zf {

namespace {

// A symbol takes at most one range decode per order it escapes from, plus
// the one it is found with (18 at order 16), each reading at most eight
// bytes: 144. The margin is rounded well up.
constexpr size_t kSymbolBytes = 512;
constexpr size_t kWindowSize = 16 * 1024;
constexpr size_t kHeaderSize = 2;
constexpr unsigned kRestoreFreeze = 2;

class TPpmdDecompressor : public IZFDecompressor {
 public:
  explicit TPpmdDecompressor(uint64_t inputSize) : inputSize_(inputSize) {}

  TZFDecodeStatus Decode(TZFCodecBuffers& b) override {
    for (;;) {
      Gather(b);
      const bool last = received_ >= inputSize_;
      const TZFDecodeStatus status = DecodeWindow(b, last);
      if (status != TZFDecodeStatus::Ok || b.OutLeft == 0 || b.InLeft == 0) return status;
    }
  }
  // Decode reads to the end marker once all the data is in, so the stream
  // has not ended only when the data stopped short of what the entry says.
  TZFCause Finish() override { return TZFCause::Truncated; }

 private:
  // Moves what is left of the window to its start and fills it from b.
  void Gather(TZFCodecBuffers& b) {
    if (start_ != 0) {
      std::memmove(window_, window_ + start_, end_ - start_);
      end_ -= start_;
      start_ = 0;
    }
    const size_t n = std::min(b.InLeft, kWindowSize - end_);
    std::memcpy(window_ + end_, b.In, n);
    end_ += n;
    received_ += n;
    b.In += n;
    b.InLeft -= n;
  }

  TZFDecodeStatus DecodeWindow(TZFCodecBuffers& b, bool last) {
    if (!started_) {
      if (end_ - start_ < kHeaderSize + 4 && !last) return TZFDecodeStatus::Ok;
      if (end_ - start_ < kHeaderSize) return Failed(TZFCause::Truncated);
      const TZFDecodeStatus status = Begin();
      if (status != TZFDecodeStatus::Ok) return status;
    }
    while (b.OutLeft > 0 && (end_ - start_ > kSymbolBytes || last)) {
      rc_.Next = window_ + start_;
      rc_.End = window_ + end_;
      const int symbol = model_.DecodeSymbol(rc_);
      start_ = static_cast<size_t>(rc_.Next - window_);
      if (rc_.Overrun) return Failed(last ? TZFCause::Truncated : TZFCause::DamagedData);
      if (symbol == TPpmdModel::kError || rc_.Broken || model_.Broken())
        return Failed(TZFCause::DamagedData, "invalid PPMd code");
      if (symbol == TPpmdModel::kEndMark) {
        if (rc_.Code != 0) return Failed(TZFCause::DamagedData, "PPMd data goes on past its end");
        return TZFDecodeStatus::End;
      }
      *b.Out++ = static_cast<uint8_t>(symbol);
      --b.OutLeft;
    }
    return TZFDecodeStatus::Ok;
  }

  // The header: order, memory and restoration method, then the coder's
  // first four bytes.
  TZFDecodeStatus Begin() {
    const unsigned header = window_[start_] | window_[start_ + 1] << 8;
    start_ += kHeaderSize;
    const unsigned order = (header & 0xF) + 1;
    const uint32_t megabytes = ((header >> 4) & 0xFF) + 1;
    const unsigned restore = header >> 12;
    if (order < TPpmdModel::kMinOrder)
      return Failed(TZFCause::DamagedData, "PPMd model order 1 (2 to 16 are valid)");
    if (restore == kRestoreFreeze) return Failed(TZFCause::UnsupportedMethod);
    if (restore > kRestoreFreeze)
      return Failed(TZFCause::DamagedData, "unknown PPMd model restoration method");
    // The header cannot ask for more than 256 MiB; a process whose bound
    // is lower refuses what is above it rather than try.
    const uint64_t memory = uint64_t{megabytes} << 20;
    if (memory > kMaxDecoderMemory || !model_.Allocate(static_cast<uint32_t>(memory)))
      return Failed(TZFCause::SystemError);
    rc_.Next = window_ + start_;
    rc_.End = window_ + end_;
    rc_.Start();
    start_ = static_cast<size_t>(rc_.Next - window_);
    if (rc_.Overrun) return Failed(TZFCause::Truncated);
    model_.Start(order, restore == 0 ? TPpmdModel::TRestore::Restart : TPpmdModel::TRestore::CutOff);
    started_ = true;
    return TZFDecodeStatus::Ok;
  }

  const uint64_t inputSize_;  // the entry's data, all of it ours
  uint64_t received_ = 0;
  uint8_t window_[kWindowSize];
  size_t start_ = 0, end_ = 0;  // the bytes of window_ not decoded yet
  bool started_ = false;
  TPpmdRangeDecoder rc_;
  TPpmdModel model_;
};

}  // namespace

std::unique_ptr<IZFDecompressor> MakePpmdDecompressor(const TZFMethodParams& params) {
  return std::make_unique<TPpmdDecompressor>(params.CompressedSize);
}

}  // namespace zf
