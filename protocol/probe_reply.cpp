#include "protocol/probe_reply.h"

#include <algorithm>

#include "protocol/messages.h"

namespace quarn::protocol {
namespace {

bool IsUtf8Continuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A character is one byte and the continuation bytes after it, at most four bytes, so that
// even stray continuation bytes are counted and the length stays bounded.
size_t CharacterLength(std::string_view text, size_t pos) {
    size_t length = 1;
    while (length < 4 && pos + length < text.size() && IsUtf8Continuation(text[pos + length])) {
        ++length;
    }
    return length;
}

}  // namespace

size_t CountCharacters(std::string_view text) {
    size_t characters = 0;
    for (size_t pos = 0; pos < text.size(); pos += CharacterLength(text, pos)) {
        ++characters;
    }
    return characters;
}

std::string_view LimitCharacters(std::string_view text, size_t maxCharacters) {
    size_t characters = 0;
    for (size_t pos = 0; pos < text.size(); pos += CharacterLength(text, pos)) {
        if (characters++ == maxCharacters) {
            return text.substr(0, pos);
        }
    }
    return text;
}

std::string FormatProbeReply(std::string_view address, int iperfPort, int controlPort,
                             std::string_view name) {
    const std::string_view announced = LimitCharacters(name, kMaxNameCharacters);
    const std::string mark =
        IsAscii(announced) ? std::to_string(controlPort) : std::string(kUtf8DialectMark);
    return std::string(address) + " " + std::to_string(iperfPort) + " " + mark + " " +
           std::string(announced);
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
