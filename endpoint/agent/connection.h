#pragma once

#include "endpoint/agent/agent_state.h"
#include "platform/socket.h"

namespace quarn::agent {

// Serves one accepted control connection to its end: reads the request line (20 s per
// receive, at most protocol::kMaxRequestLine bytes), runs the server or the client role
// and closes the connection. Anything malformed closes it without text.
void ServeConnection(AgentState& state, platform::Socket connection);

}  // namespace quarn::agent
