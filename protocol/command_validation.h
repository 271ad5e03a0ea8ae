#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarn::protocol {

// The agent hands network text to iperf, so only what the Console itself sends is accepted.

// The iperf argument tail (no program name) of a client command holding only -c <IPv4>
// (exactly once), -i/-t/-P <digits>, -u, -b/-w <size>, -f m; nullopt for anything else.
std::optional<std::vector<std::string>> ValidateClientCommand(std::string_view line);

// The argument tail of server options that are exactly one of the three server request
// forms (with any valid size after -w); nullopt otherwise.
std::optional<std::vector<std::string>> ValidateServerOptions(std::string_view options);

// Digits, an optional '.' with digits, an optional k/m/g suffix in either case.
bool IsIperfSize(std::string_view text);

}  // namespace quarn::protocol
