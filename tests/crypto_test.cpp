// The platform's cryptographic primitives (OpenSSL's libcrypto on Linux,
// CNG under Windows and Wine) against the published known answers:
// RFC 6070 for PBKDF2-HMAC-SHA1, RFC 2202 for HMAC-SHA1, FIPS-197
// appendix C for AES.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace zf {
namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

std::string Hex(const uint8_t* p, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; ++i) (s += kDigits[p[i] >> 4]) += kDigits[p[i] & 15];
  return s;
}

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

TEST(PlatformCrypto, Pbkdf2HmacSha1KnownAnswers) {
  struct Case {
    std::string password, salt;
    uint32_t iterations;
    std::string expected;
  };
  const Case cases[] = {
      {"password", "salt", 1, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
      {"password", "salt", 2, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
      {"password", "salt", 4096, "4b007901b765489abead49d926f721d065a429c1"},
      {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
       "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
      {std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096,
       "56fa6aa75548099dcc37d7f03425e0c3"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> out(c.expected.size() / 2);
    ASSERT_TRUE(os::Pbkdf2HmacSha1(c.password, Bytes(c.salt), c.iterations, out));
    EXPECT_EQ(Hex(out.data(), out.size()), c.expected) << c.password << " " << c.iterations;
  }
}

TEST(PlatformCrypto, HmacSha1KnownAnswersFedInPieces) {
  struct Case {
    std::vector<uint8_t> key;
    std::string data;
    std::string expected;
  };
  const Case cases[] = {
      {std::vector<uint8_t>(20, 0x0b), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
      {Bytes("Jefe"), "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      {std::vector<uint8_t>(20, 0xaa), std::string(50, '\xdd'),
       "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
      {std::vector<uint8_t>(80, 0xaa), "Test Using Larger Than Block-Size Key - Hash Key First",
       "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
  };
  os::HmacSha1 mac;  // one object, started again for each key
  for (const Case& c : cases) {
    ASSERT_TRUE(mac.Start(c.key));
    const auto* data = reinterpret_cast<const uint8_t*>(c.data.data());
    const size_t half = c.data.size() / 2;
    mac.Update(data, half);
    mac.Update(data + half, c.data.size() - half);
    uint8_t code[os::HmacSha1::kSize];
    ASSERT_TRUE(mac.Finish(code));
    EXPECT_EQ(Hex(code, sizeof code), c.expected) << c.data;
  }
}

TEST(PlatformCrypto, AesEcbKnownAnswers) {
  const std::vector<uint8_t> plain = FromHex("00112233445566778899aabbccddeeff");
  struct Case {
    size_t keySize;
    std::string expected;
  };
  const Case cases[] = {
      {16, "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {24, "dda97ca4864cdfe06eaf70a0ec0d7191"},
      {32, "8ea2b7ca516745bfeafc49904b496089"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> key(c.keySize);
    for (size_t i = 0; i < key.size(); ++i) key[i] = static_cast<uint8_t>(i);
    os::AesEcb aes;
    ASSERT_TRUE(aes.Start(key));
    // Three blocks in one call, the first in place: each is the same.
    std::vector<uint8_t> blocks;
    for (int i = 0; i < 3; ++i) blocks.insert(blocks.end(), plain.begin(), plain.end());
    aes.Encrypt(blocks.data(), blocks.data(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Hex(blocks.data() + 16 * i, 16), c.expected) << c.keySize;
  }
  os::AesEcb wrong;
  EXPECT_FALSE(wrong.Start(std::vector<uint8_t>(20)));
}

}  // namespace
}  // namespace zf
