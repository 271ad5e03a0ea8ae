#pragma once

#include <cstdint>

#include "address/ip_address.h"
#include "endpoint/agent/agent_state.h"
#include "platform/socket.h"

namespace quarn::agent {

// Serves one accepted control connection from source (host order) to its end: reads the
// request line (20 s for the whole line, at most protocol::kMaxRequestLine bytes), runs
// the server or the client role and closes the connection. Anything malformed, and a
// server request beyond the source's bound of servers, closes it without text.
void ServeConnection(AgentState& state, platform::Socket connection, const IpAddress& source);

}  // namespace quarn::agent
