#include "support/recorded_request.h"

#include <algorithm>

namespace kelvaro::test {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

void PutField(std::string& out, const std::string& field) {
  out += std::to_string(field.size());
  out += ':';
  out += field;
}

bool TakeField(const std::string& text, std::size_t& at, std::string& field) {
  const std::size_t colon = text.find(':', at);
  if (colon == std::string::npos || colon == at || colon - at > 12) return false;
  std::size_t size = 0;
  for (std::size_t i = at; i < colon; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    size = size * 10 + static_cast<std::size_t>(text[i] - '0');
  }
  if (size > text.size() - colon - 1) return false;
  field = text.substr(colon + 1, size);
  at = colon + 1 + size;
  return true;
}

bool TakeNumber(const std::string& text, std::size_t& at, std::size_t& number) {
  std::string field;
  if (!TakeField(text, at, field) || field.empty() || field.size() > 9) return false;
  number = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + static_cast<std::size_t>(c - '0');
  }
  return true;
}

}  // namespace

std::string RecordedRequest::Header(const std::string& name) const {
  for (const auto& [n, v] : headers) {
    if (Lower(n) == Lower(name)) return v;
  }
  return {};
}

bool RecordedRequest::HasHeader(const std::string& name) const {
  return std::any_of(headers.begin(), headers.end(),
                     [&](const auto& h) { return Lower(h.first) == Lower(name); });
}

std::vector<std::string> RecordedRequest::HeaderNames() const {
  std::vector<std::string> names;
  for (const auto& h : headers) names.push_back(h.first);
  return names;
}

Reply Reply::Http(int status, const std::string& body, const std::string& extra_headers) {
  Reply reply;
  reply.bytes = "HTTP/1.1 " + std::to_string(status) + " Status\r\n" + extra_headers +
                "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  return reply;
}

Reply Reply::Hang() {
  Reply reply;
  reply.after = After::kHang;
  return reply;
}

std::string SerializeRecordedRequests(const std::vector<RecordedRequest>& requests) {
  std::string out;
  PutField(out, std::to_string(requests.size()));
  for (const RecordedRequest& r : requests) {
    PutField(out, r.request_line);
    PutField(out, std::to_string(r.headers.size()));
    for (const auto& [name, value] : r.headers) {
      PutField(out, name);
      PutField(out, value);
    }
    PutField(out, r.body);
    PutField(out, r.head);
    PutField(out, std::to_string(r.connection));
  }
  return out;
}

bool ParseRecordedRequests(const std::string& text, std::vector<RecordedRequest>& requests) {
  requests.clear();
  std::size_t at = 0;
  std::size_t count = 0;
  if (!TakeNumber(text, at, count)) return false;
  for (std::size_t i = 0; i < count; ++i) {
    RecordedRequest r;
    std::size_t headers = 0;
    if (!TakeField(text, at, r.request_line) || !TakeNumber(text, at, headers)) return false;
    for (std::size_t h = 0; h < headers; ++h) {
      std::string name, value;
      if (!TakeField(text, at, name) || !TakeField(text, at, value)) return false;
      r.headers.emplace_back(std::move(name), std::move(value));
    }
    std::size_t connection = 0;
    if (!TakeField(text, at, r.body) || !TakeField(text, at, r.head) ||
        !TakeNumber(text, at, connection)) {
      return false;
    }
    r.connection = static_cast<int>(connection);
    requests.push_back(std::move(r));
  }
  return at == text.size();
}

}  // namespace kelvaro::test
