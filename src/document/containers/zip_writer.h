// A zip archive built in memory, as office documents are packaged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "text/text.h"

namespace kelvaro {

// Members are written in the order they are added, each with the same fixed time stamp
// (1980-01-01 00:00), so that the same members give the same bytes. No zip64: a member or
// an archive past 4 GiB, or more than 65,535 members, throws std::length_error; an empty or
// repeated name throws std::invalid_argument.
class ZipWriter {
 public:
  // `name` is UTF-8 with '/' between folders. A member that deflate would not make
  // smaller is stored as it is.
  void Add(std::string_view name, std::string_view data, bool deflate = true);
  // The whole archive; the writer is empty again afterwards.
  Bytes Finish();

 private:
  struct Entry {
    std::string name;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressed_size = 0;
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
  };

  Bytes out_;
  std::vector<Entry> entries_;
  std::unordered_set<std::string> names_;
};

}  // namespace kelvaro
