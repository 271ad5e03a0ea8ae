#include "labkey/control_handshake.h"

#include <optional>

#include "platform/deadline.h"
#include "protocol/auth_messages.h"
#include "protocol/messages.h"

namespace quarn::labkey {
namespace {

// The EndPoint's one line, read byte by byte so nothing after it is taken from the
// stream; nullopt when the connection closed, Closed reports which.
std::optional<std::string> ReadLine(const platform::Socket& connection,
                                    std::chrono::milliseconds limit, bool& closed) {
    const auto deadline = platform::SteadyClock::now() + limit;
    std::string line;
    while (line.size() <= protocol::kMaxRequestLine) {
        const int leftMs = platform::PollTimeoutMs(deadline);
        if (leftMs == 0 || !platform::SetRecvTimeout(connection, leftMs)) {
            return std::nullopt;
        }
        char byte = 0;
        const platform::RecvResult got = platform::Receive(connection, &byte, 1);
        if (got.status != platform::RecvStatus::Data) {
            closed = got.status == platform::RecvStatus::Closed ||
                     got.status == platform::RecvStatus::Error;
            return std::nullopt;
        }
        line += byte;
        if (line.ends_with(protocol::kCrLf)) {
            line.resize(line.size() - protocol::kCrLf.size());
            return line;
        }
    }
    return std::nullopt;
}

bool SendLine(const platform::Socket& connection, std::string_view line,
              std::chrono::milliseconds limit) {
    return platform::SendAllWithin(connection, std::string(line) + std::string(protocol::kCrLf),
                                   limit);
}

}  // namespace

Handshake SendWithKey(const platform::Socket& connection, const LabKey& key,
                      std::string_view requestLine, std::chrono::milliseconds replyLimit) {
    const std::string ours = ToHex(RandomBytes(kNonceBytes));
    if (!SendLine(connection, protocol::FormatAuthHello(ours), replyLimit)) {
        return Handshake::Failed;
    }
    bool closed = false;
    const std::optional<std::string> line = ReadLine(connection, replyLimit, closed);
    if (!line) {
        return closed ? Handshake::PeerOlder : Handshake::Failed;
    }
    const std::optional<protocol::AuthChallenge> challenge = protocol::ParseAuthChallenge(*line);
    if (!challenge) {
        return Handshake::Failed;
    }
    if (challenge->unkeyed) {
        return SendLine(connection, requestLine, replyLimit) ? Handshake::PeerUnkeyed
                                                             : Handshake::Failed;
    }
    const std::optional<std::string> proof = FromHex(challenge->proof);
    if (!proof || !key.Verifies(protocol::ProofTagInput(ours, challenge->challenge), *proof)) {
        return Handshake::KeyMismatch;
    }
    const std::string tag =
        ToHex(key.Tag(protocol::RequestTagInput(ours, challenge->challenge, requestLine)));
    return SendLine(connection, protocol::FormatAuthRequest(tag, requestLine), replyLimit)
               ? Handshake::Authenticated
               : Handshake::Failed;
}

protocol::RequestSender KeyedSender(const LabKey& key, std::chrono::milliseconds replyLimit,
                                    Handshake* outcome) {
    return [&key, replyLimit, outcome](const platform::Socket& peer, std::string_view line) {
        const Handshake done = SendWithKey(peer, key, line, replyLimit);
        if (outcome != nullptr) {
            *outcome = done;
        }
        switch (done) {
            case Handshake::Authenticated:
            case Handshake::PeerUnkeyed:
                return protocol::RequestSent::Yes;
            case Handshake::PeerOlder:
                return protocol::RequestSent::RetryPlain;
            case Handshake::KeyMismatch:
            case Handshake::Failed:
                break;
        }
        return protocol::RequestSent::No;
    };
}

}  // namespace quarn::labkey
