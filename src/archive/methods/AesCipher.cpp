// WinZip AES (AE-1 and AE-2, 128/192/256-bit keys) as an entry cipher
// stage, on the platform's primitives (os::Pbkdf2HmacSha1, os::HmacSha1,
// os::AesEcb):
// - keys: PBKDF2-HMAC-SHA1 of the password and the entry's salt, 1000
//   rounds, gives the AES key, the HMAC key (as long) and the 2-byte
//   password verifier, in that order;
// - cipher: AES in counter mode whose counter is a little-endian number
//   starting at 1 (library counter modes count big-endian, so the key
//   stream is made here from ECB);
// - authentication: HMAC-SHA1 over the ciphertext, of which the entry
//   keeps the first 10 bytes behind the data.
#include <algorithm>
#include <cstring>
#include <vector>

#include "archive/methods/EntryCipher.h"
#include "archive/methods/Factories.h"
#include "platform/platform.h"

namespace zf {

namespace {

constexpr uint32_t kIterations = 1000;
constexpr size_t kMaxKeySize = 32;
// Key stream made per call to the block cipher: large enough that the
// call's cost vanishes, small enough to stay in the cache.
constexpr size_t kStreamBlocks = 4096;

class TAesCipher : public IZFEntryCipher {
 public:
  explicit TAesCipher(const TAesExtra& aes)
      : keySize_(static_cast<size_t>(AesKeyBits(aes.Strength)) / 8),
        checksCrc_(aes.VendorVersion == kAesVersion1),
        stream_(kStreamBlocks * os::AesEcb::kBlockSize) {}

  int64_t HeaderSize() const override {
    return static_cast<int64_t>(keySize_ / 2 + kAesVerifierSize);
  }
  int64_t TrailerSize() const override { return kAesAuthCodeSize; }
  bool ChecksCrc() const override { return checksCrc_; }

  bool CheckPassword(TStream& archive, const std::string& password) override {
    uint8_t header[kMaxKeySize / 2 + kAesVerifierSize];
    const size_t saltSize = keySize_ / 2;
    archive.ReadBuffer(header, static_cast<int64_t>(saltSize + kAesVerifierSize));
    uint8_t keys[2 * kMaxKeySize + kAesVerifierSize];
    const std::span<uint8_t> derived(keys, 2 * keySize_ + kAesVerifierSize);
    if (!os::Pbkdf2HmacSha1(password, {header, saltSize}, kIterations, derived)) return false;
    if (std::memcmp(keys + 2 * keySize_, header + saltSize, kAesVerifierSize) != 0) return false;
    counter_ = 0;
    used_ = available_ = 0;
    return aes_.Start({keys, keySize_}) && mac_.Start({keys + keySize_, keySize_});
  }

  void Decrypt(uint8_t* data, size_t n) override {
    mac_.Update(data, n);
    while (n > 0) {
      if (used_ == available_) Refill(n);
      const size_t take = std::min(n, available_ - used_);
      const uint8_t* key = stream_.data() + used_;
      for (size_t i = 0; i < take; ++i) data[i] ^= key[i];
      used_ += take;
      data += take;
      n -= take;
    }
  }

  bool Authentic(const uint8_t* trailer) override {
    uint8_t code[os::HmacSha1::kSize];
    return mac_.Finish(code) && std::memcmp(code, trailer, kAesAuthCodeSize) == 0;
  }

 private:
  // Makes the key stream for the next blocks (enough for `wanted` bytes,
  // at most kStreamBlocks): the counter values 1, 2, 3, ... each as a
  // 16-byte little-endian number, encrypted.
  void Refill(size_t wanted) {
    const size_t blocks = std::min(kStreamBlocks, (wanted + 15) / 16);
    uint8_t* block = stream_.data();
    for (size_t i = 0; i < blocks; ++i, block += os::AesEcb::kBlockSize) {
      uint64_t value = ++counter_;
      for (size_t k = 0; k < 8; ++k, value >>= 8) block[k] = static_cast<uint8_t>(value);
      std::memset(block + 8, 0, 8);  // 2^64 blocks are more than any entry holds
    }
    aes_.Encrypt(stream_.data(), stream_.data(), blocks);
    used_ = 0;
    available_ = blocks * os::AesEcb::kBlockSize;
  }

  const size_t keySize_;
  const bool checksCrc_;
  os::AesEcb aes_;
  os::HmacSha1 mac_;
  uint64_t counter_ = 0;
  std::vector<uint8_t> stream_;  // key stream made ahead
  size_t used_ = 0, available_ = 0;
};

}  // namespace

std::unique_ptr<IZFEntryCipher> MakeAesCipher(const TAesExtra& aes) {
  return std::make_unique<TAesCipher>(aes);
}

}  // namespace zf
