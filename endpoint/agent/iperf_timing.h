#pragma once

#include <chrono>

namespace quarn::agent {

// How long the agent waits on iperf and on requesters. Tests shorten these.
struct IperfTiming {
    int pollMs = 100;
    // Polls in a row without output before "listening" that end a server start.
    int startupIdlePolls = 100;
    // Polls in a row without output that end streaming or a client run.
    int runIdlePolls = 200;
    // The whole request line, however slowly it trickles in.
    int requestTimeoutMs = 20000;
    // The server request End Point 1 makes to End Point 2.
    int peerConnectTimeoutMs = 10000;
    int peerReplyTimeoutMs = 15000;

    // The silences that end a server start and a run.
    std::chrono::milliseconds StartupSilence() const {
        return std::chrono::milliseconds(pollMs) * startupIdlePolls;
    }
    std::chrono::milliseconds RunSilence() const {
        return std::chrono::milliseconds(pollMs) * runIdlePolls;
    }
};

}  // namespace quarn::agent
