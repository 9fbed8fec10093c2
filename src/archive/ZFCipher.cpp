// Traditional PKWARE encryption: the key schedule of the ZIP application
// note, with its CRC-32 byte steps taken from ZFCrc32.
#include "archive/ZFCipher.h"

#include "archive/ZFCrc32.h"

namespace zf {

namespace {

constexpr uint16_t kFlagDataDescriptor = 0x0008;  // sizes and CRC follow the data

// The three keys, worked on in 32-bit locals inside the loops.
struct Keys32 {
  uint32_t k0, k1, k2;
  explicit Keys32(const TZFKeys& k)
      : k0(static_cast<uint32_t>(k.key0)), k1(static_cast<uint32_t>(k.key1)),
        k2(static_cast<uint32_t>(k.key2)) {}
  void Store(TZFKeys& k) const {
    k.key0 = k0;
    k.key1 = k1;
    k.key2 = k2;
  }

  void Update(uint8_t b) {
    k0 = CRC32Byte(k0, b);
    k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;  // modulo 2^32 by unsigned wrap
    k2 = CRC32Byte(k2, static_cast<uint8_t>(k1 >> 24));
  }
  uint8_t Stream() const {
    const uint32_t t = (k2 & 0xFFFF) | 2;  // only the low 16 bits matter
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
  }
};

}  // namespace

void InitKeys(const std::string& password, TZFKeys& keys) {
  Keys32 k(TZFKeys{0x12345678, 0x23456789, 0x34567890});
  for (char c : password) k.Update(static_cast<uint8_t>(c));
  k.Store(keys);
}

void UpdateKeys(uint8_t b, TZFKeys& keys) {
  Keys32 k(keys);
  k.Update(b);
  k.Store(keys);
}

uint8_t DecryptByte(const TZFKeys& keys) { return Keys32(keys).Stream(); }

void DecryptBuffer(void* buffer, int64_t count, TZFKeys& keys) {
  Keys32 k(keys);
  uint8_t* p = static_cast<uint8_t*>(buffer);
  for (int64_t i = 0; i < count; ++i) {
    const uint8_t plain = p[i] ^ k.Stream();
    k.Update(plain);
    p[i] = plain;
  }
  k.Store(keys);
}

void EncryptBuffer(void* buffer, int64_t count, TZFKeys& keys) {
  Keys32 k(keys);
  uint8_t* p = static_cast<uint8_t*>(buffer);
  for (int64_t i = 0; i < count; ++i) {
    const uint8_t plain = p[i];
    p[i] = plain ^ k.Stream();
    k.Update(plain);
  }
  k.Store(keys);
}

void InitKeysAndDecryptHeader(const std::string& password, TZFKeys& keys,
                              uint8_t (&header)[kEncryptionHeaderSize]) {
  InitKeys(password, keys);
  DecryptBuffer(header, kEncryptionHeaderSize, keys);
}

bool CheckEncryptionHeader(TStream& archive, const std::string& password, uint16_t flags,
                           uint16_t lastModTime, uint32_t crc32, TZFKeys& keys) {
  uint8_t header[kEncryptionHeaderSize];
  archive.ReadBuffer(header, kEncryptionHeaderSize);
  InitKeysAndDecryptHeader(password, keys, header);
  // A writer that streams the entry does not know its CRC when it writes the
  // header (the CRC follows in the data descriptor), so it checks against
  // the time instead; the local CRC field, even when filled in, is not used.
  const uint8_t check = (flags & kFlagDataDescriptor) ? static_cast<uint8_t>(lastModTime >> 8)
                                                      : static_cast<uint8_t>(crc32 >> 24);
  return header[kEncryptionHeaderSize - 1] == check;
}

bool EncryptHook(uint8_t, void*, int64_t, const std::string&) { return false; }
bool DecryptHook(uint8_t, void*, int64_t, const std::string&) { return false; }

}  // namespace zf
