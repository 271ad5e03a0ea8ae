#include "console/net/measurement_failure.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

namespace quarn::console {
namespace {

int WholeSeconds(int ms) {
    return (ms + 999) / 1000;
}

PairFailure Failure(FailureKind kind, FailureSide side, const std::string& address,
                    const ControlClientSettings& settings) {
    PairFailure failure;
    failure.kind = kind;
    failure.side = side;
    failure.address = address;
    failure.port = settings.controlPort;
    return failure;
}

}  // namespace

std::string SystemErrorText(int error) {
    char buffer[256] = {};
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return text != nullptr ? text : "error " + std::to_string(error);
}

std::optional<PairFailure> ConnectFailure(FailureSide side, const std::string& address, int error,
                                          const ControlClientSettings& settings) {
    switch (error) {
        case ECANCELED:
            return std::nullopt;
        case ETIMEDOUT: {
            PairFailure failure = Failure(FailureKind::NoAnswer, side, address, settings);
            failure.seconds = WholeSeconds(settings.connectTimeoutMs);
            return failure;
        }
        case ECONNREFUSED:
            return Failure(FailureKind::Refused, side, address, settings);
        default: {
            PairFailure failure = Failure(FailureKind::Unreachable, side, address, settings);
            failure.detail = SystemErrorText(error);
            return failure;
        }
    }
}

std::optional<PairFailure> ServerRequestFailed(const protocol::ServerRequestFailure& why,
                                               const std::string& address,
                                               const ControlClientSettings& settings) {
    using Step = protocol::ServerRequestFailure::Step;
    const FailureSide side = FailureSide::EndPoint2;
    switch (why.step) {
        case Step::None:
            return std::nullopt;
        case Step::Connect:
            return ConnectFailure(side, address, why.error, settings);
        case Step::ReplyTimeout: {
            PairFailure failure = Failure(FailureKind::NoReply, side, address, settings);
            failure.seconds = WholeSeconds(settings.serverReplyTimeoutMs);
            return failure;
        }
        case Step::ReplyClosed:
            return Failure(FailureKind::ServerNotStarted, side, address, settings);
        case Step::Refused: {
            PairFailure failure = Failure(FailureKind::ServerNotStarted, side, address, settings);
            failure.detail = "Reply: " + why.reply.substr(0, 200);
            return failure;
        }
        case Step::BadCommand:
        case Step::Send:
            break;
    }
    PairFailure failure = Failure(FailureKind::Unreachable, side, address, settings);
    failure.detail =
        why.step == Step::BadCommand ? "not an IPv4 or IPv6 address" : SystemErrorText(why.error);
    return failure;
}

bool IsIperfErrorLine(std::string_view line) {
    std::string lower(line);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* word : {"failed", "error", "refused", "unable", "cannot"}) {
        if (lower.find(word) != std::string::npos) {
            return true;
        }
    }
    return false;
}

}  // namespace quarn::console
