// Cryptographic primitives on Windows: Cryptography API: Next Generation
// (bcrypt): SHA-256, and for WinZip AES BCryptDeriveKeyPBKDF2, SHA-1 with
// the HMAC flag and AES in ECB mode. Algorithm providers are opened once per
// process and kept (CNG's handles may be used from any thread): CNG makes
// opening one expensive and using one cheap; the keys and hashes made from
// them belong to one object each.
#include <windows.h>
#include <bcrypt.h>
#include <stdexcept>
#include <climits>

#include "platform/platform.h"

namespace zf::os {

namespace {

bool Ok(NTSTATUS status) { return status >= 0; }

BCRYPT_ALG_HANDLE Sha256Provider() {
  static const BCRYPT_ALG_HANDLE provider = [] {
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!Ok(BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
      handle = nullptr;
    return handle;
  }();
  if (provider == nullptr) throw std::runtime_error("SHA-256 is not available");
  return provider;
}

}  // namespace

Sha256::Sha256() {
  BCRYPT_HASH_HANDLE hash = nullptr;
  // No object buffer: the provider allocates it (Windows 7 and later).
  if (!Ok(BCryptCreateHash(Sha256Provider(), &hash, nullptr, 0, nullptr, 0, 0)))
    throw std::runtime_error("SHA-256 is not available");
  state_ = hash;
}

Sha256::~Sha256() {
  if (state_) BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(state_));
}

void Sha256::Update(const void* data, size_t size) {
  auto* bytes = static_cast<UCHAR*>(const_cast<void*>(data));
  while (size > 0) {
    const ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
    if (!Ok(BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(state_), bytes, piece, 0)))
      throw std::runtime_error("SHA-256 failed");
    bytes += piece;
    size -= piece;
  }
}

std::array<uint8_t, Sha256::kDigestSize> Sha256::Final() {
  std::array<uint8_t, kDigestSize> digest{};
  if (!Ok(BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(state_), digest.data(),
                           static_cast<ULONG>(digest.size()), 0)))
    throw std::runtime_error("SHA-256 failed");
  return digest;
}

namespace {


// A provider opened on first use and kept for the process (CNG's handles
// may be used from any thread); null when the system has none.
BCRYPT_ALG_HANDLE HmacSha1Provider() {
  static const BCRYPT_ALG_HANDLE provider = [] {
    BCRYPT_ALG_HANDLE h = nullptr;
    return Ok(BCryptOpenAlgorithmProvider(&h, BCRYPT_SHA1_ALGORITHM, nullptr,
                                                 BCRYPT_ALG_HANDLE_HMAC_FLAG))
               ? h
               : nullptr;
  }();
  return provider;
}

BCRYPT_ALG_HANDLE AesEcbProvider() {
  static const BCRYPT_ALG_HANDLE provider = [] {
    BCRYPT_ALG_HANDLE h = nullptr;
    if (!Ok(BCryptOpenAlgorithmProvider(&h, BCRYPT_AES_ALGORITHM, nullptr, 0)))
      return BCRYPT_ALG_HANDLE{nullptr};
    wchar_t mode[] = BCRYPT_CHAIN_MODE_ECB;
    if (!Ok(BCryptSetProperty(h, BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(mode),
                                     sizeof mode, 0))) {
      BCryptCloseAlgorithmProvider(h, 0);
      return BCRYPT_ALG_HANDLE{nullptr};
    }
    return h;
  }();
  return provider;
}

PUCHAR Bytes(const void* p) { return static_cast<PUCHAR>(const_cast<void*>(p)); }

}  // namespace

bool Pbkdf2HmacSha1(std::string_view password, std::span<const uint8_t> salt,
                    uint32_t iterations, std::span<uint8_t> out) {
  const BCRYPT_ALG_HANDLE provider = HmacSha1Provider();
  if (provider == nullptr || password.size() > ULONG_MAX || salt.size() > ULONG_MAX ||
      out.size() > ULONG_MAX)
    return false;
  return Ok(BCryptDeriveKeyPBKDF2(provider, Bytes(password.data()),
                                         static_cast<ULONG>(password.size()), Bytes(salt.data()),
                                         static_cast<ULONG>(salt.size()), iterations, out.data(),
                                         static_cast<ULONG>(out.size()), 0));
}

struct HmacSha1::State {
  BCRYPT_HASH_HANDLE hash = nullptr;
  void Close() {
    if (hash != nullptr) BCryptDestroyHash(hash);
    hash = nullptr;
  }
  ~State() { Close(); }
};

HmacSha1::HmacSha1() : state_(std::make_unique<State>()) {}
HmacSha1::~HmacSha1() = default;

bool HmacSha1::Start(std::span<const uint8_t> key) {
  state_->Close();
  const BCRYPT_ALG_HANDLE provider = HmacSha1Provider();
  if (provider == nullptr || key.size() > ULONG_MAX) return false;
  return Ok(BCryptCreateHash(provider, &state_->hash, nullptr, 0, Bytes(key.data()),
                                    static_cast<ULONG>(key.size()), 0));
}

void HmacSha1::Update(const uint8_t* data, size_t n) {
  while (state_->hash != nullptr && n > 0) {
    const ULONG piece = n > ULONG_MAX ? ULONG_MAX : static_cast<ULONG>(n);
    BCryptHashData(state_->hash, Bytes(data), piece, 0);
    data += piece;
    n -= piece;
  }
}

bool HmacSha1::Finish(uint8_t (&code)[kSize]) {
  if (state_->hash == nullptr) return false;
  const bool ok = Ok(BCryptFinishHash(state_->hash, code, kSize, 0));
  state_->Close();
  return ok;
}

struct AesEcb::State {
  BCRYPT_KEY_HANDLE key = nullptr;
  void Close() {
    if (key != nullptr) BCryptDestroyKey(key);
    key = nullptr;
  }
  ~State() { Close(); }
};

AesEcb::AesEcb() : state_(std::make_unique<State>()) {}
AesEcb::~AesEcb() = default;

bool AesEcb::Start(std::span<const uint8_t> key) {
  state_->Close();
  const BCRYPT_ALG_HANDLE provider = AesEcbProvider();
  if (provider == nullptr || (key.size() != 16 && key.size() != 24 && key.size() != 32))
    return false;
  return Ok(BCryptGenerateSymmetricKey(provider, &state_->key, nullptr, 0,
                                              Bytes(key.data()), static_cast<ULONG>(key.size()),
                                              0));
}

void AesEcb::Encrypt(const uint8_t* in, uint8_t* out, size_t blocks) {
  constexpr size_t kPiece = size_t{1} << 26;  // whole blocks, well within a ULONG
  size_t n = blocks * kBlockSize;
  while (state_->key != nullptr && n > 0) {
    const size_t piece = n < kPiece ? n : kPiece;
    ULONG written = 0;
    BCryptEncrypt(state_->key, Bytes(in), static_cast<ULONG>(piece), nullptr, nullptr, 0, out,
                  static_cast<ULONG>(piece), &written, 0);
    in += piece;
    out += piece;
    n -= piece;
  }
}

}  // namespace zf::os
