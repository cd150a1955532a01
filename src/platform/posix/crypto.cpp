// Hashes and ciphers by OpenSSL's libcrypto. RC4 lives in OpenSSL 3's legacy provider, so it
// goes through the low-level call that needs no provider.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/evp.h>
#include <openssl/rc4.h>

#include <memory>

#include "platform/crypto.h"

namespace kelvaro::platform {

namespace {

const EVP_MD* Md(Hash hash) {
  switch (hash) {
    case Hash::kMd5:
      return EVP_md5();
    case Hash::kSha256:
      return EVP_sha256();
    case Hash::kSha384:
      return EVP_sha384();
    case Hash::kSha512:
      return EVP_sha512();
  }
  return EVP_sha256();
}

bool AesCbc(bool encrypt, ByteSpan key, ByteSpan iv, ByteSpan data, ByteVector& out) {
  out.clear();
  if ((key.size() != 16 && key.size() != 32) || iv.size() != 16 || data.size() % 16 != 0) {
    return false;
  }
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                      &EVP_CIPHER_CTX_free);
  if (!ctx) return false;
  const EVP_CIPHER* cipher = key.size() == 16 ? EVP_aes_128_cbc() : EVP_aes_256_cbc();
  if (EVP_CipherInit_ex(ctx.get(), cipher, nullptr, key.data(), iv.data(), encrypt ? 1 : 0) != 1) {
    return false;
  }
  EVP_CIPHER_CTX_set_padding(ctx.get(), 0);
  ByteVector result(data.size() + 16);
  int written = 0;
  int last = 0;
  if (EVP_CipherUpdate(ctx.get(), result.data(), &written, data.data(),
                       static_cast<int>(data.size())) != 1 ||
      EVP_CipherFinal_ex(ctx.get(), result.data() + written, &last) != 1) {
    return false;
  }
  result.resize(static_cast<std::size_t>(written + last));
  out = std::move(result);
  return true;
}

}  // namespace

ByteVector Digest(Hash hash, ByteSpan data) {
  ByteVector out(EVP_MAX_MD_SIZE);
  unsigned int size = 0;
  if (EVP_Digest(data.data(), data.size(), out.data(), &size, Md(hash), nullptr) != 1) return {};
  out.resize(size);
  return out;
}

ByteVector Rc4(ByteSpan key, ByteSpan data) {
  if (key.empty() || key.size() > 256) return {};
  RC4_KEY state;
  RC4_set_key(&state, static_cast<int>(key.size()), key.data());
  ByteVector out(data.size());
  if (!data.empty()) RC4(&state, data.size(), data.data(), out.data());
  return out;
}

bool AesCbcDecrypt(ByteSpan key, ByteSpan iv, ByteSpan data, ByteVector& out) {
  return AesCbc(false, key, iv, data, out);
}

bool AesCbcEncrypt(ByteSpan key, ByteSpan iv, ByteSpan data, ByteVector& out) {
  return AesCbc(true, key, iv, data, out);
}

}  // namespace kelvaro::platform
