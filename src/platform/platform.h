// Everything the core asks of the operating system. Each system has one folder that
// implements it (platform/posix, platform/windows); no other file includes a system
// header or a network library's.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "text/text.h"
#include "web/request_object.h"

namespace kelvaro::platform {

// ---- Code page 936 (GBK) -------------------------------------------------------------

// encode[c]: the GBK spelling of code point c: 0 when GBK has no such character, a value
// below 0x100 for one ASCII byte, else lead << 8 | trail.
// decode[(lead - 0x80) * 256 + trail]: the code point of a two-byte character, 0 for none.
using GbkEncodeTable = std::array<std::uint16_t, 0x10000>;
using GbkDecodeTable = std::array<char32_t, 0x8000>;
// Asked of the system once per process. Always code page 936, never the system's own.
void FillCodePage936Tables(GbkEncodeTable& encode, GbkDecodeTable& decode);

// ---- Files ---------------------------------------------------------------------------

// Reads a whole regular file; `path` is UTF-8. A file that cannot be opened or read, or is
// no regular file (a directory, a device, a pipe), gives false and the reason in `error`.
// Never blocks on a pipe without a writer.
bool ReadWholeFile(const std::string& path, Bytes& out, std::string& error);

// ---- PDF -----------------------------------------------------------------------------

// The text of each page of a PDF held in memory, UTF-8, in reading order (one string per
// page, empty for a page without text). False with the reason (UTF-8, Chinese): "文件已加密"
// for a PDF that needs a password, "不是 PDF 文档", "文件已损坏"; on a system without a PDF
// library always false with the words saying so.
bool ReadPdfPages(const Bytes& pdf, std::vector<std::string>& pages_utf8, std::string& error);

// ---- Memory --------------------------------------------------------------------------

// Gives free heap memory back to the system (cheap callers rate-limit it themselves).
void ReturnFreeMemory();

// ---- Threads -------------------------------------------------------------------------

// Runs `body` on a new thread nobody joins; false when no thread could be made. (On
// Windows the C++ runtime's detached std::thread now and then never runs its body.)
bool StartDetachedThread(std::function<void()> body);

// ---- The request object --------------------------------------------------------------

// Once per process, before any request (safe to call again).
void InitWeb();
// A new instance of the platform's HTTP request object; null when it cannot be made.
RequestObjectHandle MakeRequestObject();
// Any thread: ends every exchange in progress at once, and makes objects created before
// the call refuse to send.
void AbortAllRequests();

// ---- Console (the command line) ------------------------------------------------------

enum class Stream { kOut, kErr };

// Standard input, output or error that is closed at start is opened on the null device,
// so that nothing else takes its number and output fails visibly.
void EnsureStandardStreams();
bool IsTerminal(Stream stream);
// Writes UTF-8 text and flushes; false when it could not all be written. A console shows
// it as Unicode whatever its code page; a file or pipe receives the bytes unchanged.
bool WriteText(Stream stream, const std::string& utf8);
// Ends the process at once with `code`, without running destructors (after a flush).
[[noreturn]] void ExitNow(int code);

// Calls `on_interrupt` on a thread of its own when the user interrupts the program
// (Ctrl-C, SIGTERM, the console closing), at most once. While an InterruptWatcher exists
// no such event ends the process by itself; one still pending when it is destroyed is
// reported then. Make it before any other thread.
class InterruptWatcher {
 public:
  explicit InterruptWatcher(std::function<void()> on_interrupt);
  ~InterruptWatcher();
  InterruptWatcher(const InterruptWatcher&) = delete;
  InterruptWatcher& operator=(const InterruptWatcher&) = delete;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kelvaro::platform
