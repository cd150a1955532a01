// Files, by UTF-8 path.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvaro::platform {

// Reads a whole regular file; `path` is UTF-8. A file that cannot be opened or read, or is
// no regular file (a directory, a device, a pipe), gives false and the reason in `error`.
// Never blocks on a pipe without a writer.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& out, std::string& error);

// Writes `data` as the whole file at `path` (created or replaced). A file that could not be
// written whole is removed again: a half-written one would pass for the real thing. A
// device (IsDevicePath) is written in place. False with the reason in `error`.
bool WriteWholeFile(const std::string& path, std::string_view data, std::string& error);

// Whether `path` names a device or a pipe rather than a file: /dev/null or a FIFO; on Windows
// NUL, CON, COM1, ... as Windows reads them (any case, in any folder, "nul.txt" too) and
// "\\.\" paths. Such a path is written in place, and its folder need not take new files.
bool IsDevicePath(const std::string& path);

// Whether two paths name one existing file, whatever the paths (links, "..", case on
// Windows); false when either does not exist.
bool SameFile(const std::string& a, const std::string& b);

// A directory the user may create files in. Safe to ask from many processes at once.
bool IsWritableDirectory(const std::string& path);
// The user's home folder (HOME, or the profile folder on Windows); empty when unknown.
std::string HomeDirectory();
// `name` inside `directory`, with the system's separator.
std::string JoinPath(const std::string& directory, const std::string& name);
// Makes the folder `path` and every folder above it that is missing. False with the reason
// when it cannot be made or is no folder.
bool MakeDirectories(const std::string& path, std::string& error);

// Whether anything (a file, a folder, a link) is at `path`.
bool PathExists(const std::string& path);
// Renames `from` to `to` in one folder, replacing nothing: false with the reason when `to`
// exists or the rename fails.
bool RenameFile(const std::string& from, const std::string& to, std::string& error);
// The folder that holds `path`: everything before its last separator; empty when it has none.
std::string ParentFolder(const std::string& path);
// Whether `path` is a folder (through links).
bool IsFolder(const std::string& path);
// One entry of a folder as ListFolder gives it.
struct FolderEntry {
  enum class Kind { kFile, kFolder, kLink, kOther };  // kLink: any link, never followed
  std::string name;                                   // UTF-8, without the folder
  Kind kind = Kind::kOther;
  bool hidden = false;  // a dot file, or marked hidden on Windows
};
// The entries of the folder `path` but "." and "..", in no particular order. False with the
// reason when it cannot be listed.
bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries, std::string& error);
// The environment variable `name` (UTF-8 on every system); empty when unset.
std::string EnvironmentText(const char* name);

// Kelvaro's folder among the user's data: $XDG_DATA_HOME/kelvaro (an absolute XDG_DATA_HOME),
// else ~/.local/share/kelvaro; on Windows %LOCALAPPDATA%\Kelvaro. Empty when the system names
// no such folder. Not made here.
std::string DataFolder();

// The user's settings file: $XDG_CONFIG_HOME/kelvaro/settings.ini (an absolute
// XDG_CONFIG_HOME), else ~/.config/kelvaro/settings.ini; on Windows
// %APPDATA%\Kelvaro\settings.ini. Empty when the system names no such folder.
std::string SettingsFilePath();

}  // namespace kelvaro::platform
