// Hashes and ciphers, asked of the system's crypto library (PDF encryption needs them).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kelvaro::platform {

using ByteSpan = std::span<const std::uint8_t>;
using ByteVector = std::vector<std::uint8_t>;

enum class Hash { kMd5, kSha256, kSha384, kSha512 };

// The digest of `data` (16, 32, 48 or 64 bytes).
ByteVector Digest(Hash hash, ByteSpan data);

// RC4 with a key of 1 to 256 bytes; the same call encrypts and decrypts. Empty for a key of
// another size.
ByteVector Rc4(ByteSpan key, ByteSpan data);

// AES in CBC mode with a 16- or 32-byte key and a 16-byte IV, without padding: the data must
// be whole blocks. False (and nothing in `out`) otherwise.
bool AesCbcDecrypt(ByteSpan key, ByteSpan iv, ByteSpan data, ByteVector& out);
bool AesCbcEncrypt(ByteSpan key, ByteSpan iv, ByteSpan data, ByteVector& out);

}  // namespace kelvaro::platform
