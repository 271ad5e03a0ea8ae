#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quarn::protocol {

// "<address> <iperf port> <control port> <name>"; the name is shortened (never inside a
// UTF-8 sequence) so that the datagram fits kMaxDatagram.
std::string FormatProbeReply(std::string_view address, int iperfPort, int controlPort,
                             std::string_view name);

struct ProbeReply {
    std::string address;
    std::string iperfPortText;
    std::string controlPortText;
    std::string rawName;  // bytes as received; see NameIsUtf8()

    // The name is UTF-8 when the control port field is the dialect mark, else 8-bit locale text.
    bool NameIsUtf8() const;
};

// nullopt unless the first three fields are non-empty and a space follows the third.
std::optional<ProbeReply> ParseProbeReply(std::string_view datagram);

}  // namespace quarn::protocol
