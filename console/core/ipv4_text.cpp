#include "console/core/ipv4_text.h"

namespace quarn::console {

std::optional<std::uint32_t> ParseDottedIpv4(std::string_view text) {
    std::uint32_t address = 0;
    int parts = 0;
    std::size_t pos = 0;
    while (parts < 4) {
        std::uint32_t part = 0;
        std::size_t digits = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 4) {
            part = part * 10 + static_cast<std::uint32_t>(text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || digits > 3 || part > 255) {
            return std::nullopt;
        }
        address = (address << 8) | part;
        ++parts;
        if (parts < 4) {
            if (pos >= text.size() || text[pos] != '.') {
                return std::nullopt;
            }
            ++pos;
        }
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    return address;
}

}  // namespace quarn::console
