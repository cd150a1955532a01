// The standard security handler of PDF, opened with the empty user password: files that
// only restrict copying or printing read as any other; one that needs a password does not.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/errors.h"
#include "document/pdf/objects.h"

namespace kelvaro::pdf {

class Security {
 public:
  // From the trailer's /Encrypt dictionary (resolved, its entries too) and the first string
  // of the trailer's /ID. False with the reason when the file cannot be opened without a
  // password or uses a handler or cipher this reader lacks.
  bool Open(const Object& encrypt, const std::string& file_id, DocumentError& error);

  std::string DecryptString(std::string_view data, Ref owner) const;
  std::string DecryptStream(std::string_view data, Ref owner) const;
  // Whether streams of type /Metadata stay in clear.
  bool MetadataInClear() const { return !encrypt_metadata_; }

 private:
  enum class Cipher { kNone, kRc4, kAes128, kAes256 };
  std::string Decrypt(Cipher cipher, std::string_view data, Ref owner) const;
  bool OpenRevision4(const Object& encrypt, const std::string& file_id);
  bool OpenRevision6(const Object& encrypt);

  std::vector<std::uint8_t> key_;
  Cipher strings_ = Cipher::kNone;
  Cipher streams_ = Cipher::kNone;
  bool encrypt_metadata_ = true;
};

}  // namespace kelvaro::pdf
