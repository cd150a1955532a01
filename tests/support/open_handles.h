// How many descriptors (POSIX) or handles (Windows) the process has open, for leak
// checks; -1 when the system does not say.
#pragma once

namespace kelvaro::test {

int OpenHandleCount();

}  // namespace kelvaro::test
