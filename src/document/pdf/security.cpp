#include "document/pdf/security.h"

#include <algorithm>
#include <array>

#include "document/errors.h"
#include "platform/crypto.h"

namespace kelvaro::pdf {

namespace {

using platform::ByteSpan;
using platform::ByteVector;

constexpr std::array<std::uint8_t, 32> kPadding = {
    0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E, 0x56, 0xFF, 0xFA, 0x01, 0x08,
    0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68, 0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};

ByteSpan Span(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

void Append(ByteVector& out, ByteSpan bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

// The hash of revision 6 (and plain SHA-256 for revision 5) of the empty password.
ByteVector PasswordHash(int revision, ByteSpan salt) {
  ByteVector k = platform::Digest(platform::Hash::kSha256, salt);
  if (revision < 6 || k.size() != 32) return k;
  for (int round = 0;; ++round) {
    ByteVector k1;
    for (int i = 0; i < 64; ++i) Append(k1, k);  // password and user key are empty here
    ByteVector e;
    if (!platform::AesCbcEncrypt(ByteSpan(k.data(), 16), ByteSpan(k.data() + 16, 16), k1, e)) {
      return {};
    }
    unsigned sum = 0;
    for (int i = 0; i < 16; ++i) sum += e[static_cast<std::size_t>(i)];
    const platform::Hash next = sum % 3 == 0   ? platform::Hash::kSha256
                                : sum % 3 == 1 ? platform::Hash::kSha384
                                               : platform::Hash::kSha512;
    k = platform::Digest(next, e);
    if (k.size() < 32) return {};
    if (round >= 63 && e.back() <= round - 31) break;
  }
  k.resize(32);
  return k;
}

}  // namespace

bool Security::OpenRevision4(const Object& encrypt, const std::string& file_id) {
  const std::int64_t revision = encrypt.Get("R").Integer();
  const std::int64_t version = encrypt.Get("V").Integer();
  std::int64_t bits = version == 1 ? 40 : encrypt.Get("Length").Integer(version >= 4 ? 128 : 40);
  if (bits < 40 || bits > 128 || bits % 8 != 0) bits = version == 1 ? 40 : 128;
  std::size_t length = revision == 2 ? 5 : static_cast<std::size_t>(bits / 8);
  if (strings_ == Cipher::kAes128 || streams_ == Cipher::kAes128) length = 16;
  const std::string& owner = encrypt.Get("O").text;
  const std::string& user = encrypt.Get("U").text;
  if (owner.size() < 32 || user.size() < 16) return false;

  ByteVector input(kPadding.begin(), kPadding.end());
  Append(input, Span(std::string_view(owner).substr(0, 32)));
  const auto p = static_cast<std::uint32_t>(encrypt.Get("P").Integer());
  for (int i = 0; i < 4; ++i) input.push_back(static_cast<std::uint8_t>(p >> (8 * i)));
  Append(input, Span(file_id));
  if (revision >= 4 && !encrypt_metadata_) input.insert(input.end(), 4, 0xFF);
  ByteVector key = platform::Digest(platform::Hash::kMd5, input);
  if (key.size() != 16) return false;
  if (revision >= 3) {
    for (int i = 0; i < 50; ++i) {
      key = platform::Digest(platform::Hash::kMd5, ByteSpan(key.data(), length));
    }
  }
  key.resize(length);

  // The empty password is right when it gives back the stored user key.
  if (revision == 2) {
    const ByteVector check = platform::Rc4(key, kPadding);
    if (!std::equal(check.begin(), check.end(), Span(user).begin(), Span(user).begin() + 32)) {
      return false;
    }
  } else {
    ByteVector seed(kPadding.begin(), kPadding.end());
    Append(seed, Span(file_id));
    ByteVector check = platform::Rc4(key, platform::Digest(platform::Hash::kMd5, seed));
    for (std::uint8_t i = 1; i <= 19; ++i) {
      ByteVector round_key = key;
      for (std::uint8_t& b : round_key) b ^= i;
      check = platform::Rc4(round_key, check);
    }
    if (check.size() != 16 || !std::equal(check.begin(), check.end(), Span(user).begin())) {
      return false;
    }
  }
  key_ = std::move(key);
  return true;
}

bool Security::OpenRevision6(const Object& encrypt) {
  const std::int64_t revision = encrypt.Get("R").Integer();
  const std::string& user = encrypt.Get("U").text;
  const std::string& user_key = encrypt.Get("UE").text;
  if (user.size() < 48 || user_key.size() < 32) return false;
  const ByteVector hash = PasswordHash(static_cast<int>(revision), Span(user).subspan(32, 8));
  if (hash.size() != 32 || !std::equal(hash.begin(), hash.end(), Span(user).begin())) return false;
  const ByteVector intermediate =
      PasswordHash(static_cast<int>(revision), Span(user).subspan(40, 8));
  const std::array<std::uint8_t, 16> zero_iv{};
  ByteVector key;
  if (intermediate.size() != 32 ||
      !platform::AesCbcDecrypt(intermediate, zero_iv, Span(user_key).subspan(0, 32), key)) {
    return false;
  }
  key_ = std::move(key);
  return true;
}

bool Security::Open(const Object& encrypt, const std::string& file_id, DocumentError& error) {
  error = DocumentError::kEncrypted;
  if (!encrypt.Get("Filter").IsName("Standard")) return false;
  const std::int64_t version = encrypt.Get("V").Integer();
  const std::int64_t revision = encrypt.Get("R").Integer();
  const Object& metadata = encrypt.Get("EncryptMetadata");
  encrypt_metadata_ = !metadata.Is(Object::Kind::kBool) || metadata.boolean;
  if (version == 1 || version == 2) {
    strings_ = streams_ = Cipher::kRc4;
  } else if (version == 4 || version == 5) {
    // Crypt filters by name: the default one for strings and for streams.
    const Object& filters = encrypt.Get("CF");
    auto cipher_of = [&](const Object& name) {
      if (!name.Is(Object::Kind::kName) || name.text == "Identity") return Cipher::kNone;
      const std::string& method = filters.Get(name.text).Get("CFM").text;
      if (method == "V2") return Cipher::kRc4;
      if (method == "AESV2") return Cipher::kAes128;
      if (method == "AESV3") return Cipher::kAes256;
      return Cipher::kNone;
    };
    strings_ = cipher_of(encrypt.Get("StrF"));
    streams_ = cipher_of(encrypt.Get("StmF"));
  } else {
    return false;
  }
  const bool opened = revision >= 5   ? OpenRevision6(encrypt)
                      : revision >= 2 ? OpenRevision4(encrypt, file_id)
                                      : false;
  if (!opened) return false;
  error = DocumentError::kNone;
  return true;
}

std::string Security::Decrypt(Cipher cipher, std::string_view data, Ref owner) const {
  if (cipher == Cipher::kNone || key_.empty()) return std::string(data);
  ByteVector key = key_;
  if (cipher != Cipher::kAes256) {
    // Each object has a key of its own, made from the file key and its number.
    for (int i = 0; i < 3; ++i) key.push_back(static_cast<std::uint8_t>(owner.num >> (8 * i)));
    for (int i = 0; i < 2; ++i) key.push_back(static_cast<std::uint8_t>(owner.gen >> (8 * i)));
    if (cipher == Cipher::kAes128) Append(key, Span("sAlT"));
    key = platform::Digest(platform::Hash::kMd5, key);
    key.resize(std::min<std::size_t>(key_.size() + 5, 16));
  }
  if (cipher == Cipher::kRc4) {
    const ByteVector out = platform::Rc4(key, Span(data));
    return std::string(out.begin(), out.end());
  }
  // AES: the IV first, then whole blocks with PKCS#7 padding.
  if (data.size() < 32 || data.size() % 16 != 0) return {};
  ByteVector out;
  if (!platform::AesCbcDecrypt(key, Span(data.substr(0, 16)), Span(data.substr(16)), out)) {
    return {};
  }
  const std::uint8_t pad = out.back();
  if (pad >= 1 && pad <= 16 && pad <= out.size()) out.resize(out.size() - pad);
  return std::string(out.begin(), out.end());
}

std::string Security::DecryptString(std::string_view data, Ref owner) const {
  return Decrypt(strings_, data, owner);
}

std::string Security::DecryptStream(std::string_view data, Ref owner) const {
  return Decrypt(streams_, data, owner);
}

}  // namespace kelvaro::pdf
