#include "console/files/config_numbers.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "console/core/number_text.h"

namespace quarn::console {

float RealToken(std::string_view text) {
    const double value = LeadingDouble(text);
    if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max()) {
        return 0.0f;
    }
    return static_cast<float>(value);
}

std::string FormatFixed2(float value) {
    char buffer[64];  // a float needs at most 43 characters
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                      std::chars_format::fixed, 2);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string("0.00");
}

}  // namespace quarn::console
