#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarn {

// Strict dotted decimal a.b.c.d, each part 0..255, digits only, no leading zeros.
// Host byte order.
std::optional<uint32_t> ParseIpv4(std::string_view text);
std::string FormatIpv4(uint32_t hostOrder);

}  // namespace quarn
