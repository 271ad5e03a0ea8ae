#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quarn::console {

// Strict dotted-decimal IPv4 ("a.b.c.d", each 0..255, digits only), host byte order.
std::optional<std::uint32_t> ParseDottedIpv4(std::string_view text);

}  // namespace quarn::console
