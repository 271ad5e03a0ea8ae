#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarn::protocol {

// The agent hands network text to iperf, so only what the Console itself sends is accepted.

// The largest values a client command may carry: the Console reports every second, runs at
// most 259200 seconds plus its 300-second margin and a pair has at most 16 streams.
inline constexpr long kReportInterval = 1;
inline constexpr long kMaxRunSeconds = 259500;
inline constexpr long kMaxParallelStreams = 16;

// The iperf argument tail (no program name) of a client command holding only -c <IPv4>
// (exactly once), -i 1, -t 1..259500, -P 1..16, -u, -b/-w <size>, -f m; nullopt for
// anything else.
std::optional<std::vector<std::string>> ValidateClientCommand(std::string_view line);

// The argument tail of server options that are exactly one of the three server request
// forms (with any valid size after -w); nullopt otherwise.
std::optional<std::vector<std::string>> ValidateServerOptions(std::string_view options);

// Digits, an optional '.' with digits, an optional k/m/g suffix in either case.
bool IsIperfSize(std::string_view text);

}  // namespace quarn::protocol
