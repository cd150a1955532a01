#include "site/site_settings.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/files.h"

namespace kelvaro {
namespace {

// A settings file is a few lines; anything larger is no settings file of ours.
constexpr std::size_t kMaxSettingsBytes = 64u << 10;
constexpr char kSection[] = "site";
constexpr char kKey[] = "address";

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHostCharacter(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '.' ||
         c == '_';
}

// The section of an ini line "[name]", lower-cased; empty when the line is none.
std::string SectionOf(std::string_view line) {
  line = Trimmed(line);
  if (line.size() < 2 || line.front() != '[' || line.back() != ']') return {};
  return Lower(Trimmed(line.substr(1, line.size() - 2)));
}

// Whether an ini line sets `key`; then `value` is what it sets, without quotes.
bool SetsKey(std::string_view line, std::string_view key, std::string* value) {
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos || Lower(Trimmed(line.substr(0, equals))) != key) {
    return false;
  }
  std::string_view given = Trimmed(line.substr(equals + 1));
  if (given.size() >= 2 && given.front() == '"' && given.back() == '"') {
    given = given.substr(1, given.size() - 2);
  }
  if (value != nullptr) *value = std::string(given);
  return true;
}

// The file's lines without their ends; `crlf` tells which end they had.
std::vector<std::string> Lines(std::string text, bool& crlf) {
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  crlf = text.find("\r\n") != std::string::npos;
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// The file's text; empty when it is missing, unreadable or too large to be ours.
std::string SettingsText(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (path.empty() || !platform::ReadWholeFile(path, bytes, error) ||
      bytes.size() > kMaxSettingsBytes) {
    return {};
  }
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

AddressProblem CheckSiteAddress(std::string_view address) {
  if (address.empty()) return AddressProblem::kEmpty;
  for (const char c : address) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) return AddressProblem::kCharacters;
  }
  const std::string lower = Lower(address);
  std::size_t authority = 0;
  if (lower.starts_with("http://")) {
    authority = 7;
  } else if (lower.starts_with("https://")) {
    authority = 8;
  } else {
    return AddressProblem::kScheme;
  }
  if (address.find_first_of("?#") != std::string_view::npos) return AddressProblem::kQuery;
  std::string_view host = address.substr(authority, address.find('/', authority) - authority);
  // A user name and password are dropped from the prefix, never sent.
  if (const std::size_t at = host.rfind('@'); at != std::string_view::npos) {
    host = host.substr(at + 1);
  }
  std::string_view port;
  if (host.starts_with('[')) {
    const std::size_t close = host.find(']');
    if (close == std::string_view::npos || close == 1) return AddressProblem::kHost;
    for (const char c : host.substr(1, close - 1)) {
      if (!IsHostCharacter(c) && c != ':') return AddressProblem::kHost;
    }
    const std::string_view after = host.substr(close + 1);
    if (!after.empty() && after.front() != ':') return AddressProblem::kHost;
    if (!after.empty()) port = after.substr(1);
    if (after == ":") return AddressProblem::kPort;
  } else {
    const std::size_t colon = host.find(':');
    if (colon != std::string_view::npos) {
      port = host.substr(colon + 1);
      if (port.empty()) return AddressProblem::kPort;
      host = host.substr(0, colon);
    }
    if (host.empty() || host.front() == '.' || host.front() == '-') return AddressProblem::kHost;
    for (const char c : host) {
      if (!IsHostCharacter(c)) return AddressProblem::kHost;
    }
  }
  if (!port.empty()) {
    if (port.size() > 5) return AddressProblem::kPort;
    long number = 0;
    for (const char c : port) {
      if (!IsDigit(c)) return AddressProblem::kPort;
      number = number * 10 + (c - '0');
    }
    if (number < 1 || number > 65535) return AddressProblem::kPort;
  }
  return AddressProblem::kNone;
}

std::string SettingsSiteAddress(const std::string& path) {
  bool crlf = false;
  std::string section;
  std::string address;
  for (const std::string& line : Lines(SettingsText(path), crlf)) {
    if (const std::string name = SectionOf(line); !name.empty()) {
      section = name;
    } else if (section == kSection) {
      SetsKey(line, kKey, &address);  // the last one counts
    }
  }
  return CheckSiteAddress(address) == AddressProblem::kNone ? address : std::string();
}

bool SaveSettingsSiteAddress(const std::string& path, const std::string& address,
                             std::string& error) {
  error.clear();
  if (path.empty()) {
    error = "no settings folder";
    return false;
  }
  bool crlf = false;
  std::vector<std::string> lines = Lines(SettingsText(path), crlf);
  const std::string setting = std::string(kKey) + "=" + address;
  std::string section;
  bool set = false;
  std::size_t section_end = std::string::npos;  // where a [site] without the key gets it
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (const std::string name = SectionOf(lines[i]); !name.empty()) {
      section = name;
      if (section == kSection && !set) section_end = i + 1;
      continue;
    }
    if (section != kSection || !SetsKey(lines[i], kKey, nullptr)) continue;
    // Every earlier address would be overridden by this one: one line says it.
    if (set) {
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i--));
    } else {
      lines[i] = setting;
      set = true;
    }
  }
  if (!set && section_end != std::string::npos) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(section_end), setting);
  } else if (!set) {
    if (!lines.empty() && !lines.back().empty()) lines.emplace_back();
    lines.push_back(std::string("[") + kSection + "]");
    lines.push_back(setting);
  }
  std::string text;
  for (const std::string& line : lines) text.append(line).append(crlf ? "\r\n" : "\n");
  const std::size_t slash = path.find_last_of("/\\");
  if (slash != std::string::npos && slash > 0 &&
      !platform::MakeDirectories(path.substr(0, slash), error)) {
    return false;
  }
  return platform::WriteWholeFile(path, text, error);
}

}  // namespace kelvaro
