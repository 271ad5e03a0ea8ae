#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "endpoint/agent/agent_state.h"
#include "platform/socket.h"

namespace quarn::agent {

// Reads the requester's next line (within the request deadline); nullopt when none came.
using LineReader = std::function<std::optional<std::string>()>;

// The request a requester's first line asks for, after the authenticated exchange when it
// opened one; nullopt (with the refusal sent when one is due) when nothing is to be done.
// A keyed EndPoint obeys only requests tagged with its key over both challenges; one
// without a key answers the opening with "none" and takes the plain request that follows.
std::optional<std::string> AuthenticatedRequest(AgentState& state,
                                                const platform::Socket& connection,
                                                const std::string& firstLine,
                                                const LineReader& nextLine);

// Whether a "restart" datagram is to be obeyed: any, without a key; with one, only an
// authenticated restart within kRestartWindow of our clock and not seen before.
class RestartGuard {
  public:
    static constexpr long long kRestartWindowSeconds = 30;
    // Nonces remembered at once; a flood of valid restarts cannot grow it without bound.
    static constexpr std::size_t kMaxNonces = 4096;

    explicit RestartGuard(const std::optional<labkey::LabKey>& key) : key_(key) {}
    bool Allows(std::string_view datagram, long long nowUnixSeconds);

  private:
    const std::optional<labkey::LabKey>& key_;
    // nonce -> the restart's time, forgotten once outside the window.
    std::map<std::string, long long> seen_;
};

}  // namespace quarn::agent
