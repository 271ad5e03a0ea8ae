#include "console/files/config_numbers.h"

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
    return FixedText(static_cast<double>(value), 2);
}

}  // namespace quarn::console
