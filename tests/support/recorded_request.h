// What a loopback server saw of one request, and what it answers; shared by the servers
// in this folder, the native wire fixture and the Windows tests that read the fixture's
// records back (Serialize / ParseRecordedRequests).
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace kelvaro::test {

struct RecordedRequest {
  std::string request_line;                                  // "GET /x HTTP/1.1"
  std::vector<std::pair<std::string, std::string>> headers;  // in arrival order, values trimmed
  std::string body;                                          // Content-Length bytes
  std::string head;    // the raw bytes up to and including the blank line
  int connection = 0;  // 1-based number of the accepted connection it came on

  // First value of a header, name compared without regard to case; empty when absent.
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
  std::vector<std::string> HeaderNames() const;
};

struct Reply {
  enum class After { kKeepOpen, kClose, kHang };
  std::string bytes;               // sent exactly as given
  std::size_t filler_bytes = 0;    // then this many 'x' bytes, written in pieces
  int trickle_ms = 0;              // when set, the filler goes one byte at a time, this far apart
  After after = After::kKeepOpen;  // kHang: keep the connection, read and answer nothing more

  // A complete answer with Content-Length; extra_headers are lines each ending in CR LF.
  static Reply Http(int status, const std::string& body, const std::string& extra_headers = {});
  // Accept the request and never answer.
  static Reply Hang();
};

// A byte-exact, length-prefixed form of recorded requests; Parse gives false for a text
// Serialize did not make.
std::string SerializeRecordedRequests(const std::vector<RecordedRequest>& requests);
bool ParseRecordedRequests(const std::string& text, std::vector<RecordedRequest>& requests);

}  // namespace kelvaro::test
