#pragma once

#include <chrono>
#include <cstdint>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "endpoint/agent/agent_state.h"
#include "platform/socket.h"

namespace quarn::agent {

// Serves a client command as End Point 1: asks the "-c" peer for an iperf server, forwards
// the peer's output stream to the requester until the peer closes or the requester goes
// away, and meanwhile runs the iperf client against the peer; a requester that goes away
// ends the client and, by closing the peer connection, the peer's server. A command that
// is not one the Console sends, or a failed server request, ends without any text. The
// caller closes the connection.
void RunClientRole(AgentState& state, const platform::Socket& requester, std::string_view line);

// Copies the peer's stream to the requester in chunks of up to 511 bytes until the peer
// closes (or fails or shutdown wakes it) or the requester closes its side or stops reading
// for writeLimit, then shuts both connections down.
void ForwardStream(const platform::Socket& peer, const platform::Socket& requester,
                   std::chrono::milliseconds writeLimit = kStalledPeerLimit);

// Runs the iperf client to its end, discarding its output; ends it after the idle limit,
// at shutdown or once stop is requested.
void RunIperfClient(AgentState& state, const std::vector<std::string>& tokens, uint16_t port,
                    std::stop_token stop = {});

}  // namespace quarn::agent
