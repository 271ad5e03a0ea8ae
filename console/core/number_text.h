#pragma once

#include <string>
#include <string_view>

namespace quarn::console {

// Plain leading-number conversions, independent of the locale: leading blanks, an
// optional sign, then the number; the first other character ends it. No number gives 0.
double LeadingDouble(std::string_view text);
// The same for integers; values beyond the int range are clamped to it.
int LeadingInt(std::string_view text);

// What printf's "%.Nf" writes in the C locale, whatever locale the process runs under: a
// decimal comma would split a CSV cell and mix two forms in one table.
std::string FixedText(double value, int decimals);
// The same right-aligned in `width` characters, as "%W.Nf" (or "%+W.Nf" with `sign`).
std::string FixedText(double value, int decimals, std::size_t width, bool sign = false);

}  // namespace quarn::console
