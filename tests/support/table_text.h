// Readers for the tables the command line prints, so tests compare cells, not bytes.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace kelvaro::test {

using Table = std::vector<std::vector<std::string>>;

// TSV: LF line ends; \t \r \n \\ and \xNN (the character U+00NN) inside a cell. `error`
// names the first thing that is not so (a raw CR, an unknown escape, no final line end).
Table ReadTsv(const std::string& text, std::string& error);
// CSV (RFC 4180) after a UTF-8 byte-order mark, records ended by CR LF.
Table ReadCsv(const std::string& text, std::string& error);
// JSON text; on a syntax error `error` says where and the value is null.
nlohmann::ordered_json ReadJson(const std::string& text, std::string& error);
// An array of objects holding string values for exactly `keys`: one row per object, the
// values in the order of `keys`.
Table JsonRows(const nlohmann::ordered_json& array, const std::vector<std::string>& keys,
               std::string& error);

}  // namespace kelvaro::test
