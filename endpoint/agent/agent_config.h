#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "endpoint/agent/iperf_timing.h"
#include "endpoint/agent/port_allocator.h"
#include "labkey/lab_key.h"
#include "protocol/messages.h"

namespace quarn::agent {

// A requester or peer that stops reading, or vanishes, is let go after this long.
inline constexpr std::chrono::milliseconds kStalledPeerLimit{30000};

// The limit a QUARN_STALLED_PEER_MS value asks for: whole milliseconds that shorten it
// (tests); anything else (or none) keeps kStalledPeerLimit.
std::chrono::milliseconds StalledPeerLimitFrom(const char* environmentValue);

// Fixed for the program; tests change ports (0 = any free port), timing and the busy-port
// reader.
struct AgentConfig {
    std::string iperfPath;
    uint32_t bindAddress = 0;  // host order; 0 = every address
    uint16_t controlPort = protocol::kControlPort;
    uint16_t discoveryPort = protocol::kDiscoveryPort;
    // Where other EndPoints listen for server requests.
    uint16_t peerControlPort = protocol::kControlPort;
    // Control connections served at once; further ones are closed on accept.
    int maxConnections = 64;
    // Of those, from one source address. A host takes part in at most 16 pairs of a run;
    // the rest is room for connections of the previous run that are still closing.
    int maxConnectionsPerSource = 24;
    // iperf servers one requester address may hold at once.
    int maxServersPerRequester = 20;
    int addressRefreshMs = 10000;
    // A send to a requester or peer gives up after this; keep-alive ends a vanished one.
    std::chrono::milliseconds stalledPeerLimit = kStalledPeerLimit;
    // With a key, only authenticated requests and restarts are obeyed.
    std::optional<labkey::LabKey> labKey;
    // Client runs toward loopback: only for tests where both EndPoints share one machine.
    bool loopbackTargets = false;
    IperfTiming timing;
    BusyPortReader busyPorts;  // empty: the system's tables
    std::string nameStoreDir;  // empty: NameStore::DefaultDir()
};

}  // namespace quarn::agent
