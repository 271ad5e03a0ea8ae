#pragma once

#include <string>
#include <string_view>

namespace quarn::console {

// Numbers of the .config file, independent of the process locale so that a file written
// under one locale reads the same under any other. Integers read like C's conversion
// (console/core's LeadingInt).

// A real token: the leading number as a float; no number, or one that is not finite as
// a float (nan, inf, beyond the float range), gives 0.
float RealToken(std::string_view text);
// "%.02f".
std::string FormatFixed2(float value);

}  // namespace quarn::console
