// The user's settings file: an ini file of which Kelvaro keeps one key, the address of the
// site under [site] ("address=https://host"). Every other line is the user's and stays.
#pragma once

#include <string>
#include <string_view>

namespace kelvaro {

// Why an address cannot be a site's prefix.
enum class AddressProblem {
  kNone,
  kEmpty,
  kCharacters,  // a space, a control character or a character beyond ASCII
  kScheme,      // not http:// or https://
  kHost,        // no host, or one with characters no host name has
  kPort,        // not a number from 1 to 65535
  kQuery,       // a "?" or "#": the site's pages are asked below the prefix
};
AddressProblem CheckSiteAddress(std::string_view address);

// The address the settings file at `path` keeps; empty when the file is missing, cannot be
// read, holds no [site] address, or holds one CheckSiteAddress refuses.
std::string SettingsSiteAddress(const std::string& path);

// Keeps `address` as the file's [site] address, making the file and its folder when they are
// missing; other sections, keys and comments stay as they were. False with the system's
// reason when it cannot be written.
bool SaveSettingsSiteAddress(const std::string& path, const std::string& address,
                             std::string& error);

}  // namespace kelvaro
