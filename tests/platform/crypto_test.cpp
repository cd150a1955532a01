// The platform's hashes and ciphers against published test vectors (RFC 1321, FIPS 180-2,
// NIST SP 800-38A and the classic RC4 vector).
#include <gtest/gtest.h>

#include <string>

#include "platform/crypto.h"

namespace kelvaro {
namespace {

using platform::ByteVector;

ByteVector FromHex(const std::string& hex) {
  ByteVector out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

std::string ToHex(const ByteVector& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const std::uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

ByteVector Ascii(const std::string& text) { return ByteVector(text.begin(), text.end()); }

TEST(CryptoTest, DigestsOfAbc) {
  const ByteVector abc = Ascii("abc");
  EXPECT_EQ(ToHex(platform::Digest(platform::Hash::kMd5, abc)), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(ToHex(platform::Digest(platform::Hash::kSha256, abc)),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(
      ToHex(platform::Digest(platform::Hash::kSha384, abc)),
      "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca1"
      "34c825a7");
  EXPECT_EQ(
      ToHex(platform::Digest(platform::Hash::kSha512, abc)),
      "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23"
      "a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
  EXPECT_EQ(ToHex(platform::Digest(platform::Hash::kMd5, {})), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(CryptoTest, Rc4BothWays) {
  const ByteVector cipher = platform::Rc4(Ascii("Key"), Ascii("Plaintext"));
  EXPECT_EQ(ToHex(cipher), "bbf316e8d940af0ad3");
  EXPECT_EQ(platform::Rc4(Ascii("Key"), cipher), Ascii("Plaintext"));
  EXPECT_TRUE(platform::Rc4({}, Ascii("x")).empty());
}

TEST(CryptoTest, AesCbcOf128And256BitKeys) {
  const ByteVector iv = FromHex("000102030405060708090a0b0c0d0e0f");
  const ByteVector plain =
      FromHex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51");
  struct Vector {
    std::string key;
    std::string cipher;
  };
  for (const Vector& v :
       {Vector{"2b7e151628aed2a6abf7158809cf4f3c",
               "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"},
        Vector{"603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4",
               "f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"}}) {
    ByteVector out;
    ASSERT_TRUE(platform::AesCbcEncrypt(FromHex(v.key), iv, plain, out));
    EXPECT_EQ(ToHex(out), v.cipher);
    ASSERT_TRUE(platform::AesCbcDecrypt(FromHex(v.key), iv, FromHex(v.cipher), out));
    EXPECT_EQ(out, plain);
  }
  ByteVector out{1};
  EXPECT_FALSE(platform::AesCbcDecrypt(FromHex(std::string(32, '0')), iv, ByteVector(15), out));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(platform::AesCbcDecrypt(ByteVector(20), iv, ByteVector(16), out));
}

}  // namespace
}  // namespace kelvaro
