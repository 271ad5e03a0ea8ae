#pragma once

#include <chrono>
#include <string>

namespace quarn::console {

// `when` in the machine's local time as strftime's `format` writes it; "" when the text
// would not fit 64 bytes. The one place that asks the C library for local time, whose
// reentrant form is what every thread here must use.
std::string FormatLocalTime(std::chrono::system_clock::time_point when, const char* format);

// The local time as "YYYY-MM-DD HH:MM:SS": when a run was measured, when a pair failed.
std::string FormatMeasuredAt(std::chrono::system_clock::time_point when);

}  // namespace quarn::console
