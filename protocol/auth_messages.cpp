#include "protocol/auth_messages.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace quarn::protocol {
namespace {

// Exactly count fields separated by single spaces, the last taking the rest when open.
std::optional<std::vector<std::string_view>> Fields(std::string_view line, std::size_t count,
                                                    bool lastTakesRest) {
    std::vector<std::string_view> fields;
    while (fields.size() + 1 < count) {
        const std::size_t space = line.find(' ');
        if (space == std::string_view::npos) {
            return std::nullopt;
        }
        fields.push_back(line.substr(0, space));
        line.remove_prefix(space + 1);
    }
    if (!lastTakesRest && line.find(' ') != std::string_view::npos) {
        return std::nullopt;
    }
    fields.push_back(line);
    return fields;
}

std::string Joined(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (const std::string_view part : parts) {
        text.append(part);
        text += '\n';
    }
    return text;
}

}  // namespace

bool IsHexOfLength(std::string_view text, std::size_t length) {
    return text.size() == length && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::string FormatAuthHello(std::string_view challenge) {
    return std::string(kAuthHello) + " " + std::string(challenge);
}

std::string FormatAuthChallenge(std::string_view challenge, std::string_view proof) {
    return std::string(kAuthHello) + " " + std::string(challenge) + " " + std::string(proof);
}

std::string FormatAuthNone() {
    return std::string(kAuthHello) + " " + std::string(kAuthNone);
}

std::string FormatAuthRequest(std::string_view tag, std::string_view request) {
    return std::string(kAuthRequest) + " " + std::string(tag) + " " + std::string(request);
}

bool IsAuthHello(std::string_view line) {
    return line.starts_with(std::string(kAuthHello) + " ");
}

std::optional<std::string> ParseAuthHello(std::string_view line) {
    const auto fields = Fields(line, 2, false);
    if (!fields || (*fields)[0] != kAuthHello ||
        !IsHexOfLength((*fields)[1], kChallengeHexDigits)) {
        return std::nullopt;
    }
    return std::string((*fields)[1]);
}

std::optional<AuthChallenge> ParseAuthChallenge(std::string_view line) {
    if (line == FormatAuthNone()) {
        return AuthChallenge{true, {}, {}};
    }
    const auto fields = Fields(line, 3, false);
    if (!fields || (*fields)[0] != kAuthHello ||
        !IsHexOfLength((*fields)[1], kChallengeHexDigits) ||
        !IsHexOfLength((*fields)[2], kTagHexDigits)) {
        return std::nullopt;
    }
    return AuthChallenge{false, std::string((*fields)[1]), std::string((*fields)[2])};
}

std::optional<AuthRequest> ParseAuthRequest(std::string_view line) {
    const auto fields = Fields(line, 3, true);
    if (!fields || (*fields)[0] != kAuthRequest || !IsHexOfLength((*fields)[1], kTagHexDigits)) {
        return std::nullopt;
    }
    return AuthRequest{std::string((*fields)[1]), std::string((*fields)[2])};
}

std::string ProofTagInput(std::string_view requesterChallenge, std::string_view endPointChallenge) {
    return Joined({"quarn endpoint proof 1", requesterChallenge, endPointChallenge});
}

std::string RequestTagInput(std::string_view requesterChallenge, std::string_view endPointChallenge,
                            std::string_view request) {
    return Joined({"quarn control request 1", requesterChallenge, endPointChallenge, request});
}

std::string FormatAuthRestart(long long unixSeconds, std::string_view nonce, std::string_view tag) {
    return std::string(kAuthRestartPrefix) + std::to_string(unixSeconds) + " " +
           std::string(nonce) + " " + std::string(tag);
}

std::optional<AuthRestart> ParseAuthRestart(std::string_view datagram) {
    if (!datagram.starts_with(kAuthRestartPrefix)) {
        return std::nullopt;
    }
    const auto fields = Fields(datagram.substr(kAuthRestartPrefix.size()), 3, false);
    if (!fields) {
        return std::nullopt;
    }
    const std::string_view time = (*fields)[0];
    long long seconds = 0;
    const auto parsed = std::from_chars(time.data(), time.data() + time.size(), seconds);
    // One spelling per time: no leading zeros.
    if (time.empty() || time.size() > 12 || (time.size() > 1 && time[0] == '0') ||
        time.find_first_not_of("0123456789") != std::string_view::npos ||
        parsed.ec != std::errc() || parsed.ptr != time.data() + time.size() || seconds < 0 ||
        !IsHexOfLength((*fields)[1], kChallengeHexDigits) ||
        !IsHexOfLength((*fields)[2], kTagHexDigits)) {
        return std::nullopt;
    }
    return AuthRestart{seconds, std::string((*fields)[1]), std::string((*fields)[2])};
}

std::string RestartTagInput(long long unixSeconds, std::string_view nonce) {
    return Joined({"quarn restart 1", std::to_string(unixSeconds), nonce});
}

std::string FormatSignedProbe(std::string_view nonce) {
    return std::string(kSignedProbePrefix) + std::string(nonce);
}

std::optional<std::string> ParseSignedProbe(std::string_view datagram) {
    if (!datagram.starts_with(kSignedProbePrefix)) {
        return std::nullopt;
    }
    const std::string_view nonce = datagram.substr(kSignedProbePrefix.size());
    return IsHexOfLength(nonce, kChallengeHexDigits) ? std::optional<std::string>(nonce)
                                                     : std::nullopt;
}

std::string FormatReplySignature(std::string_view address, std::string_view tag) {
    return std::string(kReplySignature) + " " + std::string(address) + " " + std::string(tag);
}

std::optional<ReplySignature> ParseReplySignature(std::string_view datagram) {
    const auto fields = Fields(datagram, 3, false);
    if (!fields || (*fields)[0] != kReplySignature || (*fields)[1].empty() ||
        (*fields)[1].size() > 15 || !IsHexOfLength((*fields)[2], kTagHexDigits)) {
        return std::nullopt;
    }
    return ReplySignature{std::string((*fields)[1]), std::string((*fields)[2])};
}

std::string ReplyTagInput(std::string_view nonce, std::string_view reply) {
    return Joined({"quarn discovery reply 1", nonce, reply});
}

}  // namespace quarn::protocol
