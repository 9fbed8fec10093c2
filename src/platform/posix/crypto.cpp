// Cryptographic primitives on Linux: OpenSSL 3's libcrypto: SHA-256 (EVP),
// and for WinZip AES PBKDF2, HMAC-SHA1 through EVP_MAC and AES-ECB through
// EVP with padding off.
#include <openssl/evp.h>
#include <stdexcept>
#include <openssl/core_names.h>
#include <openssl/params.h>
#include <climits>

#include "platform/platform.h"

namespace zf::os {

Sha256::Sha256() {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  if (context == nullptr || EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1) {
    EVP_MD_CTX_free(context);
    throw std::runtime_error("SHA-256 is not available");
  }
  state_ = context;
}

Sha256::~Sha256() { EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(state_)); }

void Sha256::Update(const void* data, size_t size) {
  if (EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(state_), data, size) != 1)
    throw std::runtime_error("SHA-256 failed");
}

std::array<uint8_t, Sha256::kDigestSize> Sha256::Final() {
  std::array<uint8_t, kDigestSize> digest{};
  unsigned size = 0;
  if (EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(state_), digest.data(), &size) != 1 ||
      size != kDigestSize)
    throw std::runtime_error("SHA-256 failed");
  return digest;
}

bool Pbkdf2HmacSha1(std::string_view password, std::span<const uint8_t> salt,
                    uint32_t iterations, std::span<uint8_t> out) {
  if (password.size() > INT_MAX || salt.size() > INT_MAX || out.size() > INT_MAX ||
      iterations > INT_MAX)
    return false;
  return PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()), salt.data(),
                                static_cast<int>(salt.size()), static_cast<int>(iterations),
                                static_cast<int>(out.size()), out.data()) == 1;
}

struct HmacSha1::State {
  EVP_MAC* mac = nullptr;
  EVP_MAC_CTX* ctx = nullptr;
  ~State() {
    EVP_MAC_CTX_free(ctx);
    EVP_MAC_free(mac);
  }
};

HmacSha1::HmacSha1() : state_(std::make_unique<State>()) {}
HmacSha1::~HmacSha1() = default;

bool HmacSha1::Start(std::span<const uint8_t> key) {
  if (state_->ctx == nullptr) {
    state_->mac = EVP_MAC_fetch(nullptr, OSSL_MAC_NAME_HMAC, nullptr);
    if (state_->mac == nullptr) return false;
    state_->ctx = EVP_MAC_CTX_new(state_->mac);
    if (state_->ctx == nullptr) return false;
  }
  char digest[] = "SHA1";
  const OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0), OSSL_PARAM_END};
  return EVP_MAC_init(state_->ctx, key.data(), key.size(), params) == 1;
}

void HmacSha1::Update(const uint8_t* data, size_t n) {
  if (state_->ctx != nullptr && n > 0) EVP_MAC_update(state_->ctx, data, n);
}

bool HmacSha1::Finish(uint8_t (&code)[kSize]) {
  size_t length = 0;
  return state_->ctx != nullptr && EVP_MAC_final(state_->ctx, code, &length, kSize) == 1 &&
         length == kSize;
}

struct AesEcb::State {
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  ~State() { EVP_CIPHER_CTX_free(ctx); }
};

AesEcb::AesEcb() : state_(std::make_unique<State>()) {}
AesEcb::~AesEcb() = default;

bool AesEcb::Start(std::span<const uint8_t> key) {
  const EVP_CIPHER* cipher = key.size() == 16   ? EVP_aes_128_ecb()
                             : key.size() == 24 ? EVP_aes_192_ecb()
                             : key.size() == 32 ? EVP_aes_256_ecb()
                                                : nullptr;
  if (cipher == nullptr || state_->ctx == nullptr) return false;
  if (EVP_EncryptInit_ex(state_->ctx, cipher, nullptr, key.data(), nullptr) != 1) return false;
  return EVP_CIPHER_CTX_set_padding(state_->ctx, 0) == 1;
}

void AesEcb::Encrypt(const uint8_t* in, uint8_t* out, size_t blocks) {
  // EVP counts in int: whole blocks in pieces well below that.
  constexpr size_t kPiece = size_t{1} << 26;
  size_t n = blocks * kBlockSize;
  while (n > 0) {
    const size_t piece = n < kPiece ? n : kPiece;
    int written = 0;
    EVP_EncryptUpdate(state_->ctx, out, &written, in, static_cast<int>(piece));
    in += piece;
    out += piece;
    n -= piece;
  }
}

}  // namespace zf::os
