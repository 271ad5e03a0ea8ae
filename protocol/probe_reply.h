#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quarn::protocol {

// Display names are stored and announced with at most this many characters, so that a
// 5-byte probe never earns a large reply.
inline constexpr size_t kMaxNameCharacters = 120;

// Characters (UTF-8 sequences; a stray byte counts as one) in text.
size_t CountCharacters(std::string_view text);
// The first maxCharacters characters of text, never cut inside a UTF-8 sequence.
std::string_view LimitCharacters(std::string_view text, size_t maxCharacters);

// "<address> <iperf port> <mark> <name>" with the name (UTF-8) cut to kMaxNameCharacters.
// A plain ASCII name goes out as it is with the control port as the mark; any other name
// is sent as UTF-8 with the mark kUtf8DialectMark, so that no receiver decodes it in its
// own 8-bit code page.
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
