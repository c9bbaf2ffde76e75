// The library's one way to hand the host a message: a model that cannot do
// what its input asks says why here, and the host keeps the message with its
// own.
#pragma once

#include "vekexp_api.h"

// Hands the host a message about a problem with a model's input. Null is
// taken as an empty message.
VEKEXP_API void TQ_ReportError(const char* message);
