#pragma once
// Reading the server's answers: numbers, header lists and platform errors.
// Kept apart from the run so that they can be exercised with any input.

#include "http.h"
#include "upload.h"

#include <cstdint>
#include <string>

namespace orvup {

// Whether the comma-separated list holds item (case-insensitive, trimmed).
bool ListContains(const std::string& list, const std::string& item);
// A non-negative decimal integer that fits 64 bits, nothing else.
bool ParseInt64(const std::string& text, int64_t* value);
// The platform error an answer carries in its headers, if any.
bool PlatformError(const HttpResponse& r, Outcome* out);

} // namespace orvup
