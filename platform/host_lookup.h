#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace quarn::platform {

// The distinct IPv4 addresses (host byte order) that `name` resolves to through the
// system's resolver, waiting at most `limit`. Empty when the name is unknown, the
// resolver fails or the limit passes first; an unfinished lookup is abandoned, never
// waited for.
std::vector<std::uint32_t> LookUpIpv4(const std::string& name, std::chrono::milliseconds limit);

}  // namespace quarn::platform
