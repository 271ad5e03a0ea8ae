#include "console/core/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace quarn::console {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Skips leading blanks and one sign; returns whether the number is negative.
bool TakeSign(std::string_view& text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    text.remove_prefix(pos);
    return negative;
}

}  // namespace

double LeadingDouble(std::string_view text) {
    const bool negative = TakeSign(text);
    if (text.empty() || text.front() == '+' || text.front() == '-') {
        return 0.0;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Tell huge from tiny by the exponent the text carries.
        const std::string_view digits(text.data(), static_cast<std::size_t>(end - text.data()));
        const auto exponent = digits.find_first_of("eE");
        const bool tiny = exponent != std::string_view::npos && exponent + 1 < digits.size() &&
                          digits[exponent + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (error != std::errc()) {
        return 0.0;
    }
    return negative ? -value : value;
}

int LeadingInt(std::string_view text) {
    const bool negative = TakeSign(text);
    long long value = 0;
    constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
    for (char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = std::min(value * 10 + (c - '0'), kLimit);
    }
    if (negative) {
        value = -value;
    }
    const long long low = std::numeric_limits<int>::min();
    const long long high = std::numeric_limits<int>::max();
    return static_cast<int>(std::clamp(value, low, high));
}

std::string FixedText(double value, int decimals) {
    char buffer[400];  // DBL_MAX in full takes 309 digits
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string();
}

std::string FixedText(double value, int decimals, std::size_t width, bool sign) {
    std::string text = FixedText(value, decimals);
    if (sign && !std::signbit(value))
        text.insert(0, 1, '+');
    if (text.size() < width)
        text.insert(0, width - text.size(), ' ');
    return text;
}

}  // namespace quarn::console
