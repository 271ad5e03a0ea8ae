#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "labkey/lab_key.h"
#include "protocol/messages.h"

namespace quarn::console {

// Ports, timeouts and limits of the pair sessions. The defaults are the product's fixed
// values; tests shorten them.
struct ControlClientSettings {
    std::string iperfPath;  // the iperf client of local mode when a job names none
    uint16_t controlPort = protocol::kControlPort;
    int connectTimeoutMs = 10000;
    int serverReplyTimeoutMs = 15000;  // local: End Point 2's "ok" reply
    int streamTimeoutMs = 20000;       // remote: each read of End Point 1's stream
    int idlePollLimit = 200;           // local: 100 ms polls of a silent iperf client
    int streamDrainMs = 3000;          // local: End Point 2's last lines after the client ended
    // With a key, requests go the authenticated way to EndPoints that take it.
    std::optional<labkey::LabKey> labKey;
};

}  // namespace quarn::console
