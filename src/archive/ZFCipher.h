// The traditional PKWARE stream cipher of ZIP entries and its 12-byte
// encryption header: key schedule, in-place decryption and encryption, and
// the password check against an entry's header. Everything works on
// caller-owned buffers and key records and allocates nothing.
//
// Also here: the two cipher hooks of the alternative (block-structured) entry
// format. This engine supports no cipher for that format, so both leave the
// data as it is.
#pragma once

#include <cstdint>
#include <string>

#include "archive/ZFClasses.h"

namespace zf {

// Size of the encryption header in front of an encrypted entry's data.
constexpr int kEncryptionHeaderSize = 12;

// The three cipher keys of one entry. Each is kept in 64 bits with the upper
// 32 bits zero after every step.
struct TZFKeys {
  uint64_t key0 = 0;
  uint64_t key1 = 0;
  uint64_t key2 = 0;
};

// Start values, then every byte of the password (taken as the 8-bit string
// holds it; an empty password feeds nothing).
void InitKeys(const std::string& password, TZFKeys& keys);
// One key step with the plain byte b.
void UpdateKeys(uint8_t b, TZFKeys& keys);
// The key-stream byte for the next position; the keys do not change.
uint8_t DecryptByte(const TZFKeys& keys);
// Decrypts count bytes in place, continuing the key record.
void DecryptBuffer(void* buffer, int64_t count, TZFKeys& keys);
// The inverse of DecryptBuffer: encrypts count bytes in place.
void EncryptBuffer(void* buffer, int64_t count, TZFKeys& keys);
// InitKeys, then decrypts the 12 header bytes in place; the keys are left
// ready for the entry data.
void InitKeysAndDecryptHeader(const std::string& password, TZFKeys& keys,
                              uint8_t (&header)[kEncryptionHeaderSize]);
// Reads the 12 header bytes at the stream's position (a short read raises
// EReadError), decrypts them and compares byte 11 with the check byte: the
// high byte of lastModTime when flags bit 3 (data descriptor) is set, else
// bits 24-31 of crc32. True when they are equal; the keys are then ready for
// the entry data.
bool CheckEncryptionHeader(TStream& archive, const std::string& password, uint16_t flags,
                           uint16_t lastModTime, uint32_t crc32, TZFKeys& keys);

// Cipher hooks of the block-structured entry format. No cipher is supported
// for it: the buffer is left untouched and the result is false ("nothing was
// transformed"); callers ignore it.
bool EncryptHook(uint8_t algorithm, void* buffer, int64_t length, const std::string& password);
bool DecryptHook(uint8_t algorithm, void* buffer, int64_t length, const std::string& password);

}  // namespace zf
