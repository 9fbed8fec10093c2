// Cryptographic primitives on Windows: Cryptography API: Next Generation
// (bcrypt). Algorithm providers are opened once per process and kept: CNG
// makes opening one expensive and using one cheap.
#include <windows.h>
#include <bcrypt.h>

#include <stdexcept>

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

}  // namespace zf::os
