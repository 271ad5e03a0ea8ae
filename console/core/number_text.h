#pragma once

#include <string_view>

namespace quarn::console {

// Plain leading-number conversions, independent of the locale: leading blanks, an
// optional sign, then the number; the first other character ends it. No number gives 0.
double LeadingDouble(std::string_view text);
// The same for integers; values beyond the int range are clamped to it.
int LeadingInt(std::string_view text);

}  // namespace quarn::console
