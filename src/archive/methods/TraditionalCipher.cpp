// The traditional PKWARE cipher as an entry cipher stage (the cipher
// itself is ZFCipher's), and the choice of an entry's cipher.
#include <optional>

#include "archive/ZFCipher.h"
#include "archive/ZFDirItem.h"
#include "archive/methods/EntryCipher.h"
#include "archive/methods/Factories.h"

namespace zf {

namespace {

class TTraditionalCipher : public IZFEntryCipher {
 public:
  explicit TTraditionalCipher(const TLocalFileHeader& local) : local_(local) {}

  int64_t HeaderSize() const override { return kEncryptionHeaderSize; }
  bool CheckPassword(TStream& archive, const std::string& password) override {
    return CheckEncryptionHeader(archive, password, local_.Flags, local_.ModTime, local_.Crc32,
                                 keys_);
  }
  void Decrypt(uint8_t* data, size_t n) override {
    DecryptBuffer(data, static_cast<int64_t>(n), keys_);
  }

 private:
  TLocalFileHeader local_;
  TZFKeys keys_;
};

}  // namespace

TZFEntryCoding EntryCodingOf(const TDirItem& item) {
  TZFEntryCoding coding;
  coding.Method = item.Header.Method;
  if (coding.Method == kMethodAes) {
    // The AES block names the real method; without one nothing can be read.
    std::optional<TAesExtra> aes;
    for (const TExtraBlock& block : item.ExtraFields())
      if (block.HeaderID == kExtraAes) aes = ReadAesExtra(block.Data);
    coding.Valid = aes.has_value();
    if (aes) {
      coding.Cipher = TZFEntryCoding::TCipher::Aes;
      coding.Aes = *aes;
      coding.Method = aes->Method;
    }
  } else if (item.Header.Flags & kFlagEncrypted) {
    coding.Cipher = TZFEntryCoding::TCipher::Traditional;
  }
  return coding;
}

std::unique_ptr<IZFEntryCipher> MakeEntryCipher(const TZFEntryCoding& coding,
                                                const TLocalFileHeader& local) {
  switch (coding.Cipher) {
    case TZFEntryCoding::TCipher::None: return nullptr;
    case TZFEntryCoding::TCipher::Traditional: return std::make_unique<TTraditionalCipher>(local);
    case TZFEntryCoding::TCipher::Aes: return MakeAesCipher(coding.Aes);
  }
  return nullptr;
}

std::string CodingName(const TZFEntryCoding& coding) {
  if (!coding.Valid) return MethodName(kMethodAes);
  const std::string method = MethodName(coding.Method);
  if (coding.Cipher != TZFEntryCoding::TCipher::Aes) return method;
  return "AES-" + std::to_string(AesKeyBits(coding.Aes.Strength)) + " " + method;
}

}  // namespace zf
