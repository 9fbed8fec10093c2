// CRC-32 and the traditional cipher: check values, the sliced CRC against the
// byte-at-a-time loop, headers made by other tools, the choice of check byte,
// and the stream's read error on a short header.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "archive/ZFCipher.h"
#include "archive/ZFClasses.h"
#include "archive/ZFCrc32.h"
#include "test_util.h"

namespace zf {
namespace {

using test::RandomBytes;

uint32_t Crc(const std::string& s) {
  return ~CRC32Update(0xFFFFFFFF, s.data(), static_cast<int32_t>(s.size()));
}

// ---- CRC-32 -------------------------------------------------------------

TEST(Crc32, KnownValues) {
  const struct {
    std::string text;
    uint32_t crc;
  } cases[] = {
      {"", 0x00000000},  // an empty entry has the CRC 0
      {"a", 0xE8B7BE43},
      {"123456789", 0xCBF43926},  // the published check value
      {"The quick brown fox jumps over the lazy dog", 0x414FA339},  // > 16 bytes
      {std::string(1000, '\0'), 0x060B1780},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Crc(c.text), c.crc) << "length " << c.text.size();
    EXPECT_EQ(~CRC32UpdateBytewise(0xFFFFFFFF, c.text.data(), int32_t(c.text.size())), c.crc);
  }
}

TEST(Crc32, NothingToAddLeavesValueUnchanged) {
  const uint8_t data[4] = {1, 2, 3, 4};
  for (uint32_t start : {0x00000000u, 0xFFFFFFFFu, 0x12345678u}) {
    EXPECT_EQ(CRC32Update(start, nullptr, 4), start);
    EXPECT_EQ(CRC32Update(start, data, 0), start);
    EXPECT_EQ(CRC32Update(start, data, -1), start);
    EXPECT_EQ(CRC32UpdateBytewise(start, nullptr, 4), start);
    EXPECT_EQ(CRC32UpdateBytewise(start, data, -7), start);
  }
}

TEST(Crc32, TableEntries) {
  EXPECT_EQ(CRC32Table[0], 0x00000000u);
  EXPECT_EQ(CRC32Table[1], 0x77073096u);
  EXPECT_EQ(CRC32Table[2], 0xEE0E612Cu);
  EXPECT_EQ(CRC32Table[128], 0xEDB88320u);  // the polynomial itself
  EXPECT_EQ(CRC32Table[255], 0x2D02EF8Du);
}

// The routines CRC32Update chooses from (folding only where the processor
// has it).
struct Routine {
  const char* name;
  uint32_t (*update)(uint32_t, const void*, int32_t);
};
const Routine kRoutines[] = {
    {"chosen", CRC32Update}, {"sliced", CRC32UpdateSliced}, {"folded", CRC32UpdateFolded}};

// Every length past a few folding steps, from every start offset within 8
// bytes, so unaligned heads, every step count and every tail length are
// covered.
TEST(Crc32, EachRoutineEqualsBytewiseForShortMisalignedInputs) {
  const auto data = RandomBytes(300 + 8, 1);
  for (const Routine& r : kRoutines)
    for (int offset = 0; offset < 8; ++offset)
      for (int len = 0; len <= 300; ++len)
        for (uint32_t start : {0xFFFFFFFFu, 0x0u, 0xA5A5A5A5u})
          ASSERT_EQ(r.update(start, data.data() + offset, len),
                    CRC32UpdateBytewise(start, data.data() + offset, len))
              << r.name << ", offset " << offset << " length " << len;
}

TEST(Crc32, EachRoutineEqualsBytewiseOnMegabytes) {
  const auto data = RandomBytes(3 * 1024 * 1024 + 5, 2);
  for (const Routine& r : kRoutines)
    for (int offset : {0, 1, 3, 5}) {
      const auto n = static_cast<int32_t>(data.size() - offset);
      EXPECT_EQ(r.update(0xFFFFFFFF, data.data() + offset, n),
                CRC32UpdateBytewise(0xFFFFFFFF, data.data() + offset, n))
          << r.name << ", offset " << offset;
    }
}

TEST(Crc32, ChainedUpdatesEqualOneUpdate) {
  const auto data = RandomBytes(100000, 3);
  const int32_t n = static_cast<int32_t>(data.size());
  const uint32_t whole = CRC32Update(0xFFFFFFFF, data.data(), n);
  for (int32_t step : {1, 7, 15, 16, 17, 4095, 65536}) {
    uint32_t crc = 0xFFFFFFFF;
    for (int32_t pos = 0; pos < n; pos += step)
      CRC32UpdateVar(data.data() + pos, std::min(step, n - pos), crc);
    EXPECT_EQ(crc, whole) << "step " << step;
  }
}

// ---- cipher ---------------------------------------------------------------

TEST(Cipher, EmptyPasswordLeavesStartValues) {
  TZFKeys keys{1, 2, 3};
  InitKeys("", keys);
  EXPECT_EQ(keys.key0, 0x12345678u);
  EXPECT_EQ(keys.key1, 0x23456789u);
  EXPECT_EQ(keys.key2, 0x34567890u);
}

// "Hello, encrypted world!\n" (24 bytes, CRC-32 0xAFA7699B, DOS time 0x528F
// = 10:20:30) stored and encrypted with the password "secret" by two other
// tools; the bytes are the entry's data area: 12 header bytes, then the data.
const std::string kPlain = "Hello, encrypted world!\n";
const struct KnownEntry {
  const char* madeBy;
  uint16_t flags;  // local header flags as written
  uint16_t time;
  uint32_t crc;
  std::vector<uint8_t> data;
} kKnownEntries[] = {
    // zip 3.0 -P secret -0: sets the data-descriptor bit, checks against the
    // time's high byte (0x52), yet fills in the local CRC (high byte 0xAF).
    {"zip 3.0 -P secret -0", 0x0009, 0x528F, 0xAFA7699B,
     {0x89, 0xC7, 0x46, 0x30, 0x66, 0xE3, 0x48, 0xA9, 0x1C, 0xE1, 0xAA, 0x62,
      0x4F, 0xAA, 0x38, 0xDA, 0xAB, 0xCF, 0xFA, 0x25, 0x0A, 0xE0, 0x5B, 0xE8,
      0xEA, 0x85, 0xDE, 0xA2, 0x5D, 0xF3, 0xFD, 0x2B, 0x47, 0x99, 0x40, 0x8F}},
    // 7-Zip 26.02 a -tzip -psecret -mem=ZipCrypto -mx0: no descriptor,
    // checks against the CRC's high byte.
    {"7-Zip 26.02 -mem=ZipCrypto -mx0", 0x0001, 0x528F, 0xAFA7699B,
     {0xDC, 0xFD, 0x8A, 0x12, 0x3F, 0x96, 0xFD, 0x5A, 0x11, 0x2D, 0xF1, 0x57,
      0x39, 0x54, 0x6E, 0x3D, 0x09, 0x62, 0xE9, 0x6B, 0x3F, 0x34, 0x63, 0xD6,
      0x12, 0x9B, 0xE1, 0xB6, 0xBD, 0x67, 0x3B, 0x66, 0x82, 0xC2, 0xDA, 0x7C}},
};

TMemoryStream StreamOf(const std::vector<uint8_t>& bytes) {
  TMemoryStream s;
  s.WriteBuffer(bytes.data(), int64_t(bytes.size()));
  s.SetPosition(0);
  return s;
}

TEST(Cipher, EntriesMadeByOtherTools) {
  ASSERT_EQ(Crc(kPlain), 0xAFA7699Bu);
  for (const auto& e : kKnownEntries) {
    SCOPED_TRACE(e.madeBy);
    TMemoryStream s = StreamOf(e.data);
    TZFKeys keys;
    ASSERT_TRUE(CheckEncryptionHeader(s, "secret", e.flags, e.time, e.crc, keys));
    EXPECT_EQ(s.GetPosition(), kEncryptionHeaderSize);

    std::string text(e.data.begin() + kEncryptionHeaderSize, e.data.end());
    DecryptBuffer(text.data(), int64_t(text.size()), keys);
    EXPECT_EQ(text, kPlain);

    // Wrong passwords whose byte 11 does not fit by chance (1 in 256 would).
    for (const char* wrong : {"Secret", "secret ", ""}) {
      s.SetPosition(0);
      EXPECT_FALSE(CheckEncryptionHeader(s, wrong, e.flags, e.time, e.crc, keys)) << wrong;
    }
    // The other check byte must not be used: 0x52 and 0xAF differ.
    s.SetPosition(0);
    EXPECT_FALSE(CheckEncryptionHeader(s, "secret", e.flags ^ 0x0008, e.time, e.crc, keys));
  }
}

// A header written by EncryptBuffer with the given check byte in byte 11,
// followed by the encrypted text.
std::vector<uint8_t> MakeEntry(const std::string& password, uint8_t check, const std::string& text) {
  std::vector<uint8_t> bytes = RandomBytes(kEncryptionHeaderSize, check + 11u);
  bytes[kEncryptionHeaderSize - 1] = check;
  bytes.insert(bytes.end(), text.begin(), text.end());
  TZFKeys keys;
  InitKeys(password, keys);
  EncryptBuffer(bytes.data(), int64_t(bytes.size()), keys);
  return bytes;
}

TEST(Cipher, CheckByteFollowsDataDescriptorFlag) {
  const uint16_t time = 0x7A31;
  const uint32_t crc = 0xC4000001;
  const struct {
    const char* name;
    uint8_t writtenCheck;
    uint16_t flags;
    bool accepted;
  } cases[] = {
      {"descriptor, time byte written", 0x7A, 0x0009, true},
      {"descriptor, CRC byte written (CRC filled in)", 0xC4, 0x0009, false},
      {"no descriptor, CRC byte written", 0xC4, 0x0001, true},
      {"no descriptor, time byte written", 0x7A, 0x0001, false},
      {"other flag bits do not matter", 0xC4, 0xFFF7, true},
  };
  for (const auto& c : cases) {
    TMemoryStream s = StreamOf(MakeEntry("pw", c.writtenCheck, "data"));
    TZFKeys keys;
    EXPECT_EQ(CheckEncryptionHeader(s, "pw", c.flags, time, crc, keys), c.accepted) << c.name;
    if (c.accepted) {
      char text[4];
      s.ReadBuffer(text, 4);
      DecryptBuffer(text, 4, keys);
      EXPECT_EQ(std::string(text, 4), "data") << c.name;
    }
  }
}

TEST(Cipher, EncryptDecryptRoundTrip) {
  for (size_t n : {size_t(0), size_t(1), size_t(12), size_t(1000), size_t(65537)}) {
    const auto plain = RandomBytes(n, uint32_t(n) + 5);
    auto buf = plain;
    TZFKeys enc, dec;
    InitKeys("vor krat", enc);
    InitKeys("vor krat", dec);
    EncryptBuffer(buf.data(), int64_t(n), enc);
    if (n >= 12) {
      EXPECT_NE(buf, plain) << n;
    }
    // Decrypt in two pieces: the key record carries across calls.
    DecryptBuffer(buf.data(), int64_t(n / 3), dec);
    DecryptBuffer(buf.data() + n / 3, int64_t(n - n / 3), dec);
    EXPECT_EQ(buf, plain) << n;
    EXPECT_EQ(std::memcmp(&enc, &dec, sizeof enc), 0) << n;
  }
}

TEST(Cipher, ShortHeaderRaisesReadError) {
  for (size_t n : {size_t(0), size_t(11)}) {
    TMemoryStream s = StreamOf(std::vector<uint8_t>(kKnownEntries[0].data.begin(),
                                                    kKnownEntries[0].data.begin() + n));
    TZFKeys keys;
    EXPECT_THROW(CheckEncryptionHeader(s, "secret", 9, 0x528F, 0, keys), EReadError) << n;
  }
}

TEST(Cipher, AlternativeFormatHooksLeaveDataUntouched) {
  const auto original = RandomBytes(16, 6);
  auto buf = original;
  EncryptHook(1, buf.data(), 16, "pw");
  DecryptHook(1, buf.data(), 16, "pw");
  EXPECT_EQ(buf, original);
}

}  // namespace
}  // namespace zf
