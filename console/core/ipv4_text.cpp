#include "console/core/ipv4_text.h"

#include "ipv4/ipv4.h"

namespace quarn::console {

std::optional<std::uint32_t> ParseDottedIpv4(std::string_view text) {
    return ParseIpv4(text);
}

}  // namespace quarn::console
