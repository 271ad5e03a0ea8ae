#include "protocol/ok_reply.h"

#include <algorithm>
#include <climits>

#include "protocol/messages.h"

namespace quarn::protocol {

std::string FormatOkReply(int port) {
    return "ok;" + std::to_string(port) + std::string(kCrLf);
}

int ParseOkReply(std::string_view reply) {
    std::string text;
    for (size_t pos = 0; pos < reply.size();) {
        if (reply.substr(pos, kCrLf.size()) == kCrLf) {
            pos += kCrLf.size();
        } else {
            text += reply[pos++];
        }
    }
    const size_t semicolon = text.find(';');
    if (text.substr(0, semicolon) != "ok") {
        return -1;
    }
    long long port = 0;
    if (semicolon != std::string::npos) {
        for (size_t i = semicolon + 1; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            // Saturate: a huge number is no port, and must not wrap into one.
            port = std::min<long long>(port * 10 + (text[i] - '0'), INT_MAX);
        }
    }
    return static_cast<int>(port);
}

}  // namespace quarn::protocol
