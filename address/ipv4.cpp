#include "address/ipv4.h"

#include <charconv>

namespace quarn {

std::optional<uint32_t> ParseIpv4(std::string_view text) {
    uint32_t result = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (text.empty() || text.front() != '.') {
                return std::nullopt;
            }
            text.remove_prefix(1);
        }
        size_t digits = 0;
        while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
            ++digits;
        }
        // "010" is refused as inet_pton refuses it: inet_aton would read it as octal 8.
        if (digits == 0 || digits > 3 || (digits > 1 && text.front() == '0')) {
            return std::nullopt;
        }
        unsigned value = 0;
        std::from_chars(text.data(), text.data() + digits, value);
        if (value > 255) {
            return std::nullopt;
        }
        result = (result << 8) | value;
        text.remove_prefix(digits);
    }
    if (!text.empty()) {
        return std::nullopt;
    }
    return result;
}

std::string FormatIpv4(uint32_t hostOrder) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (!text.empty()) {
            text += '.';
        }
        text += std::to_string((hostOrder >> shift) & 0xFF);
    }
    return text;
}

}  // namespace quarn
