// Resident memory of this process, from /proc (kilobytes).
#pragma once

#include <fstream>
#include <string>

namespace kelvaro::bench {

// A field of /proc/self/status such as "VmRSS" or "VmHWM"; -1 when unknown.
inline long StatusKb(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, field.size() + 1, field + ":") == 0) {
      return std::stol(line.substr(field.size() + 1));
    }
  }
  return -1;
}

inline long CurrentRssKb() { return StatusKb("VmRSS"); }
inline long PeakRssKb() { return StatusKb("VmHWM"); }

}  // namespace kelvaro::bench
