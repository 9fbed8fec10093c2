// Method 14 through liblzma's raw LZMA1 decoder. The data begins with a
// header of its own: the writer's version (2 bytes), the size of the
// properties (2 bytes, always 5) and the properties (lc/lp/pb in one byte,
// the dictionary size in four); raw LZMA follows. Flag bit 1 says the
// stream ends with an end marker; without it the declared uncompressed
// size ends it. LZMA_FILTER_LZMA1EXT (liblzma 5.4) takes both.
#include <algorithm>
#include <cstring>

#include "archive/ZFRecords.h"
#include "archive/methods/Factories.h"
#include "archive/methods/LzmaStream.h"

namespace zf {

namespace {

constexpr size_t kPropertiesSize = 5;
constexpr size_t kHeaderSize = 4 + kPropertiesSize;
constexpr uint32_t kMinDictionary = 4096;  // liblzma's LZMA_DICT_SIZE_MIN

class TLzmaDecompressor : public IZFDecompressor {
 public:
  explicit TLzmaDecompressor(const TZFMethodParams& params) : params_(params) {}

  TZFDecodeStatus Decode(TZFCodecBuffers& b) override {
    if (header_ < kHeaderSize) {
      const size_t n = std::min(kHeaderSize - header_, b.InLeft);
      std::memcpy(raw_ + header_, b.In, n);
      header_ += n;
      b.In += n;
      b.InLeft -= n;
      if (header_ < kHeaderSize) return TZFDecodeStatus::Ok;
      const TZFDecodeStatus started = Start();
      if (started != TZFDecodeStatus::Ok) return started;
    }
    TZFCause cause = TZFCause::None;
    const TZFDecodeStatus status = stream_.Step(b, cause);
    return status == TZFDecodeStatus::Failed ? Failed(cause) : status;
  }
  TZFCause Finish() override { return TZFCause::Truncated; }

 private:
  TZFDecodeStatus Start() {
    if (Get16(raw_ + 2) != kPropertiesSize) return Failed(TZFCause::UnsupportedMethod);
    const uint8_t* props = raw_ + 4;
    if (props[0] >= 9 * 5 * 5) return Failed(TZFCause::DamagedData);
    lzma_options_lzma options{};
    lzma_lzma_preset(&options, LZMA_PRESET_DEFAULT);
    options.lc = props[0] % 9;
    options.lp = props[0] / 9 % 5;
    options.pb = props[0] / 45;
    // A dictionary larger than the entry is never reached: its declared
    // size bounds it (nothing is written past that size anyway).
    const uint64_t bound = std::clamp<uint64_t>(params_.UncompressedSize, kMinDictionary,
                                                kMaxDecoderMemory);
    options.dict_size =
        static_cast<uint32_t>(std::clamp<uint64_t>(Get32(props + 1), kMinDictionary, bound));
    options.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    const bool marked = (params_.Flags & kFlagLzmaEndMarker) != 0;
    lzma_set_ext_size(options, marked ? UINT64_MAX : params_.UncompressedSize);
    const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options},
                                   {LZMA_VLI_UNKNOWN, nullptr}};
    TZFCause cause = TZFCause::None;
    const lzma_ret status = lzma_raw_decoder(&stream_.Stream(), filters);
    if (TLzmaStream::Result(status, cause) == TZFDecodeStatus::Failed) return Failed(cause);
    return TZFDecodeStatus::Ok;
  }

  const TZFMethodParams params_;
  uint8_t raw_[kHeaderSize] = {};
  size_t header_ = 0;  // bytes of raw_ read
  TLzmaStream stream_;
};

}  // namespace

std::unique_ptr<IZFDecompressor> MakeLzmaDecompressor(const TZFMethodParams& params) {
  return std::make_unique<TLzmaDecompressor>(params);
}

}  // namespace zf
