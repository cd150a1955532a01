// The request object on the WinHTTP C API, in asynchronous mode: every handle is used
// only by the thread that runs the exchange, which waits for each step with its own
// deadlines; Abort from any thread only signals an event.
#pragma once

#include "web/request_object.h"

namespace kelvaro {

RequestObjectHandle MakeWinHttpRequestObject();

}  // namespace kelvaro
