#include "protocol/probe_reply.h"

#include "protocol/messages.h"

namespace quarn::protocol {
namespace {

bool IsUtf8Continuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The longest prefix of name within maxBytes that does not end inside a UTF-8 sequence.
std::string_view ShortenName(std::string_view name, size_t maxBytes) {
    if (name.size() <= maxBytes) {
        return name;
    }
    size_t cut = maxBytes;
    while (cut > 0 && IsUtf8Continuation(name[cut])) {
        --cut;
    }
    return name.substr(0, cut);
}

}  // namespace

std::string FormatProbeReply(std::string_view address, int iperfPort, int controlPort,
                             std::string_view name) {
    std::string reply = std::string(address) + " " + std::to_string(iperfPort) + " " +
                        std::to_string(controlPort) + " ";
    const size_t room = reply.size() < kMaxDatagram ? kMaxDatagram - reply.size() : 0;
    reply += ShortenName(name, room);
    return reply;
}

bool ProbeReply::NameIsUtf8() const {
    return controlPortText == kUtf8DialectMark;
}

std::optional<ProbeReply> ParseProbeReply(std::string_view datagram) {
    std::string_view fields[3];
    std::string_view rest = datagram;
    for (std::string_view& field : fields) {
        const size_t space = rest.find(' ');
        if (space == 0 || space == std::string_view::npos) {
            return std::nullopt;
        }
        field = rest.substr(0, space);
        rest.remove_prefix(space + 1);
    }
    return ProbeReply{std::string(fields[0]), std::string(fields[1]), std::string(fields[2]),
                      std::string(rest)};
}

}  // namespace quarn::protocol
