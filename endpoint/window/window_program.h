#pragma once

#include "endpoint/agent/agent_config.h"

namespace quarn::endpoint_window {

// Quarn_EndPoint with its window: a second start raises the running window and ends with
// 0; otherwise registers with the firewall, opens the window and serves until Exit, the
// close button, SIGINT or SIGTERM. Returns the exit code.
int RunWindowProgram(int& argc, char** argv, agent::AgentConfig config);

}  // namespace quarn::endpoint_window
