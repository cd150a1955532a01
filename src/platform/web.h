// The platform's HTTP request object.
#pragma once

#include <memory>

namespace kelvaro {
class RequestObject;
}

namespace kelvaro::platform {

// Once per process, before any request (safe to call again).
void InitWeb();
// A new instance of the platform's HTTP request object; null when it cannot be made.
std::shared_ptr<RequestObject> MakeRequestObject();
// Any thread: ends every exchange in progress at once, and makes objects created before
// the call refuse to send.
void AbortAllRequests();

}  // namespace kelvaro::platform
