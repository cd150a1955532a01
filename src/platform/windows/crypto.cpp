// Hashes and AES by Windows CNG (bcrypt.dll).
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <utility>

#include "platform/crypto.h"

namespace kelvaro::platform {

namespace {

class Algorithm {
 public:
  explicit Algorithm(const wchar_t* name) {
    if (BCryptOpenAlgorithmProvider(&handle_, name, nullptr, 0) < 0) handle_ = nullptr;
  }
  ~Algorithm() {
    if (handle_) BCryptCloseAlgorithmProvider(handle_, 0);
  }
  Algorithm(const Algorithm&) = delete;
  Algorithm& operator=(const Algorithm&) = delete;
  BCRYPT_ALG_HANDLE Get() const { return handle_; }

 private:
  BCRYPT_ALG_HANDLE handle_ = nullptr;
};

class Key {
 public:
  Key(BCRYPT_ALG_HANDLE algorithm, ByteSpan secret) {
    if (!algorithm || BCryptGenerateSymmetricKey(algorithm, &handle_, nullptr, 0,
                                                 const_cast<PUCHAR>(secret.data()),
                                                 static_cast<ULONG>(secret.size()), 0) < 0) {
      handle_ = nullptr;
    }
  }
  ~Key() {
    if (handle_) BCryptDestroyKey(handle_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  BCRYPT_KEY_HANDLE Get() const { return handle_; }

 private:
  BCRYPT_KEY_HANDLE handle_ = nullptr;
};

const wchar_t* AlgorithmName(Hash hash) {
  switch (hash) {
    case Hash::kMd5:
      return BCRYPT_MD5_ALGORITHM;
    case Hash::kSha256:
      return BCRYPT_SHA256_ALGORITHM;
    case Hash::kSha384:
      return BCRYPT_SHA384_ALGORITHM;
    case Hash::kSha512:
      return BCRYPT_SHA512_ALGORITHM;
  }
  return BCRYPT_SHA256_ALGORITHM;
}

std::size_t DigestSize(Hash hash) {
  switch (hash) {
    case Hash::kMd5:
      return 16;
    case Hash::kSha256:
      return 32;
    case Hash::kSha384:
      return 48;
    case Hash::kSha512:
      return 64;
  }
  return 32;
}

bool AesCbc(bool encrypt, ByteSpan key, ByteSpan iv, ByteSpan data, ByteVector& out) {
  out.clear();
  if ((key.size() != 16 && key.size() != 32) || iv.size() != 16 || data.size() % 16 != 0) {
    return false;
  }
  Algorithm aes(BCRYPT_AES_ALGORITHM);
  if (!aes.Get() ||
      BCryptSetProperty(aes.Get(), BCRYPT_CHAINING_MODE,
                        reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_CBC)),
                        sizeof(BCRYPT_CHAIN_MODE_CBC), 0) < 0) {
    return false;
  }
  Key handle(aes.Get(), key);
  if (!handle.Get()) return false;
  ByteVector vector(iv.begin(), iv.end());  // the call overwrites the IV
  ByteVector input(data.begin(), data.end());
  ByteVector result(data.size());
  ULONG written = 0;
  const auto call = encrypt ? BCryptEncrypt : BCryptDecrypt;
  if (!data.empty() && call(handle.Get(), input.data(), static_cast<ULONG>(input.size()), nullptr,
                            vector.data(), static_cast<ULONG>(vector.size()), result.data(),
                            static_cast<ULONG>(result.size()), &written, 0) < 0) {
    return false;
  }
  result.resize(written);
  out = std::move(result);
  return true;
}

}  // namespace

ByteVector Digest(Hash hash, ByteSpan data) {
  Algorithm algorithm(AlgorithmName(hash));
  BCRYPT_HASH_HANDLE handle = nullptr;
  if (!algorithm.Get() ||
      BCryptCreateHash(algorithm.Get(), &handle, nullptr, 0, nullptr, 0, 0) < 0) {
    return {};
  }
  ByteVector out(DigestSize(hash));
  const bool ok = BCryptHashData(handle, const_cast<PUCHAR>(data.data()),
                                 static_cast<ULONG>(data.size()), 0) >= 0 &&
                  BCryptFinishHash(handle, out.data(), static_cast<ULONG>(out.size()), 0) >= 0;
  BCryptDestroyHash(handle);
  if (!ok) out.clear();
  return out;
}

// RC4 by hand: Wine's bcrypt has no RC4 provider (and CNG may drop it); the cipher is a few
// lines and here only opens files that need no password.
ByteVector Rc4(ByteSpan key, ByteSpan data) {
  if (key.empty() || key.size() > 256) return {};
  std::uint8_t state[256];
  for (int i = 0; i < 256; ++i) state[i] = static_cast<std::uint8_t>(i);
  std::uint8_t j = 0;
  for (int i = 0; i < 256; ++i) {
    j = static_cast<std::uint8_t>(j + state[i] + key[static_cast<std::size_t>(i) % key.size()]);
    std::swap(state[i], state[j]);
  }
  ByteVector out(data.size());
  std::uint8_t a = 0;
  std::uint8_t b = 0;
  for (std::size_t k = 0; k < data.size(); ++k) {
    a = static_cast<std::uint8_t>(a + 1);
    b = static_cast<std::uint8_t>(b + state[a]);
    std::swap(state[a], state[b]);
    out[k] = data[k] ^ state[static_cast<std::uint8_t>(state[a] + state[b])];
  }
  return out;
}

bool AesCbcDecrypt(ByteSpan key, ByteSpan iv, ByteSpan data, ByteVector& out) {
  return AesCbc(false, key, iv, data, out);
}

bool AesCbcEncrypt(ByteSpan key, ByteSpan iv, ByteSpan data, ByteVector& out) {
  return AesCbc(true, key, iv, data, out);
}

}  // namespace kelvaro::platform
