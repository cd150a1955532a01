// RequestObject on libcurl. Idle easy handles are pooled process-wide so that
// consecutive exchanges reuse one keep-alive connection; a handle is only ever
// used by one thread at a time.
#pragma once

#include "web/request_object.h"

namespace kelvaro {

RequestObjectHandle MakeCurlRequestObject();

// Once per process, before any thread makes a request.
void InitWeb();

// Escapes a URL for the wire: non-ASCII as UTF-8 percent-escapes (the text is GBK),
// spaces and control bytes as percent-escapes, other ASCII unchanged.
Text EscapeUrlForWire(const Text& url);

// Ends every exchange in progress at once, from any thread (used on shutdown).
void AbortAllRequests();

// Idle handles in the pool (tests).
int IdleHandleCount();

}  // namespace kelvaro
