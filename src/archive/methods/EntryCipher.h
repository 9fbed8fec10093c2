// The cipher stage of one entry: the traditional PKWARE cipher and WinZip
// AES behind one interface. The codec checks the password with it before
// any data is read, decrypts each chunk with it, and has it authenticate
// the data at the end where the cipher carries a code for that.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "archive/ZFClasses.h"
#include "archive/ZFRecords.h"

namespace zf {

struct TDirItem;

class IZFEntryCipher {
 public:
  virtual ~IZFEntryCipher() = default;

  // Bytes of the entry's data in front of the ciphertext (an encryption
  // header; a salt and a password verifier) and behind it (an
  // authentication code).
  virtual int64_t HeaderSize() const = 0;
  virtual int64_t TrailerSize() const { return 0; }

  // Reads the HeaderSize() bytes at archive's position and checks password
  // against them; true when it fits, the cipher then ready for the data.
  // A short read raises the stream's EReadError.
  virtual bool CheckPassword(TStream& archive, const std::string& password) = 0;

  // Decrypts n bytes in place, continuing where the last call ended.
  virtual void Decrypt(uint8_t* data, size_t n) = 0;

  // Whether trailer (TrailerSize() bytes) authenticates every byte
  // Decrypt was given. Without a code: true.
  virtual bool Authentic(const uint8_t* /*trailer*/) { return true; }

  // Whether the entry's stored CRC-32 is to be checked (WinZip's AE-2
  // stores 0 there and lets the authentication code stand for it).
  virtual bool ChecksCrc() const { return true; }
};

// How an entry's data is coded: the compression method that produced the
// plain bytes, and the cipher in front of it.
struct TZFEntryCoding {
  enum class TCipher { None, Traditional, Aes };
  uint16_t Method = 0;  // the real method (an AES entry's from its extra block)
  TCipher Cipher = TCipher::None;
  TAesExtra Aes;        // TCipher::Aes only
  bool Valid = true;    // false: method 99 without a readable AES block
};

// The coding of item, read from its central header and extra field.
TZFEntryCoding EntryCodingOf(const TDirItem& item);

// The cipher of an entry coded as coding, or null when it is not encrypted
// or its cipher is not one this engine has. local: the entry's local
// header (the traditional cipher's check byte comes from it).
std::unique_ptr<IZFEntryCipher> MakeEntryCipher(const TZFEntryCoding& coding,
                                                const TLocalFileHeader& local);

// A listing's name for the coding: "Deflate", "AES-256 Deflate", ...
std::string CodingName(const TZFEntryCoding& coding);

}  // namespace zf
