// Cryptographic primitives on Linux: OpenSSL's libcrypto (EVP).
#include <openssl/evp.h>

#include <stdexcept>

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

}  // namespace zf::os
