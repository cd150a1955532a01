// The platform's HTTP request object.
#pragma once

#include "web/request_object.h"

namespace kelvaro::platform {

// Once per process, before any request (safe to call again).
void InitWeb();
// A new instance of the platform's HTTP request object; null when it cannot be made.
RequestObjectHandle MakeRequestObject();
// Any thread: ends every exchange in progress at once, and makes objects created before
// the call refuse to send.
void AbortAllRequests();

}  // namespace kelvaro::platform
