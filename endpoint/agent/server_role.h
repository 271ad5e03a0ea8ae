#pragma once

#include <string_view>

#include "endpoint/agent/agent_state.h"
#include "platform/socket.h"

namespace quarn::agent {

// Serves a "server_config" request: starts an iperf server on a free port (up to three
// attempts), replies "ok;<port>" once it listens and streams its output until it ends,
// falls silent or the agent shuts down. Nothing is sent when no server comes up or the
// options are not one of the known forms. The caller closes the connection.
// True when a server ran.
bool RunServerRole(AgentState& state, const platform::Socket& connection, std::string_view options);

}  // namespace quarn::agent
