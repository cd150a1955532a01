// The request object on libcurl. Idle easy handles are pooled process-wide so that
// consecutive exchanges reuse one keep-alive connection; a handle is only ever used by
// one thread at a time.
#pragma once

#include "web/request_object.h"

namespace kelvaro {

RequestObjectHandle MakeCurlRequestObject();

// Idle handles in the pool (tests).
int IdleHandleCount();

}  // namespace kelvaro
