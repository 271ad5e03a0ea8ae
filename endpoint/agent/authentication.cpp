#include "endpoint/agent/authentication.h"

#include "labkey/lab_key.h"
#include "protocol/auth_messages.h"
#include "protocol/messages.h"

namespace quarn::agent {
namespace {

bool Reply(AgentState& state, const platform::Socket& connection, std::string_view line) {
    return platform::SendAllWithin(connection, std::string(line) + std::string(protocol::kCrLf),
                                   state.Config().stalledPeerLimit);
}

std::optional<std::string> Refuse(AgentState& state, const platform::Socket& connection,
                                  std::string_view why) {
    Reply(state, connection, why);
    return std::nullopt;
}

// The keyed half: our challenge and proof, then the tagged request.
std::optional<std::string> Challenge(AgentState& state, const platform::Socket& connection,
                                     const labkey::LabKey& key, const std::string& theirs,
                                     const LineReader& nextLine) {
    const std::string ours = labkey::ToHex(labkey::RandomBytes(labkey::kNonceBytes));
    const std::string proof = labkey::ToHex(key.Tag(protocol::ProofTagInput(theirs, ours)));
    if (!Reply(state, connection, protocol::FormatAuthChallenge(ours, proof))) {
        return std::nullopt;
    }
    const std::optional<std::string> line = nextLine();
    const auto request = line ? protocol::ParseAuthRequest(*line) : std::nullopt;
    if (!request) {
        return line ? Refuse(state, connection, protocol::kLabKeyRequired) : std::nullopt;
    }
    const std::optional<std::string> tag = labkey::FromHex(request->tag);
    if (!tag || !key.Verifies(protocol::RequestTagInput(theirs, ours, request->request), *tag)) {
        return Refuse(state, connection, protocol::kLabKeyMismatch);
    }
    return request->request;
}

}  // namespace

std::optional<std::string> AuthenticatedRequest(AgentState& state,
                                                const platform::Socket& connection,
                                                const std::string& firstLine,
                                                const LineReader& nextLine) {
    const std::optional<labkey::LabKey>& key = state.Config().labKey;
    if (!protocol::IsAuthHello(firstLine)) {
        if (key) {
            return Refuse(state, connection, protocol::kLabKeyRequired);
        }
        return firstLine;
    }
    const std::optional<std::string> theirs = protocol::ParseAuthHello(firstLine);
    if (!theirs) {
        return std::nullopt;
    }
    if (!key) {
        if (!Reply(state, connection, protocol::FormatAuthNone())) {
            return std::nullopt;
        }
        return nextLine();
    }
    return Challenge(state, connection, *key, *theirs, nextLine);
}

bool RestartGuard::Allows(std::string_view datagram, long long nowUnixSeconds) {
    if (!key_) {
        return true;
    }
    const std::optional<protocol::AuthRestart> restart = protocol::ParseAuthRestart(datagram);
    if (!restart || restart->unixSeconds < nowUnixSeconds - kRestartWindowSeconds ||
        restart->unixSeconds > nowUnixSeconds + kRestartWindowSeconds) {
        return false;
    }
    const std::optional<std::string> tag = labkey::FromHex(restart->tag);
    if (!tag ||
        !key_->Verifies(protocol::RestartTagInput(restart->unixSeconds, restart->nonce), *tag)) {
        return false;
    }
    std::erase_if(seen_, [&](const auto& entry) {
        return entry.second < nowUnixSeconds - kRestartWindowSeconds;
    });
    if (seen_.size() >= kMaxNonces || !seen_.emplace(restart->nonce, restart->unixSeconds).second) {
        return false;  // a copy or replay of one already obeyed
    }
    return true;
}

}  // namespace quarn::agent
