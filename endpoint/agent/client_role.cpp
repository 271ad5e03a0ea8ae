#include "endpoint/agent/client_role.h"

#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "endpoint/agent/iperf_launch.h"
#include "platform/child_process.h"
#include "protocol/command_validation.h"
#include "protocol/messages.h"
#include "protocol/server_request.h"

namespace quarn::agent {

void ForwardStream(const platform::Socket& peer, const platform::Socket& requester) {
    char buffer[protocol::kOutputChunk];
    while (true) {
        const long got = platform::RecvSome(peer, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        // A requester that went away does not end the stream; the peer's close does.
        platform::SendAll(requester, std::string_view(buffer, static_cast<size_t>(got)));
    }
    // The requester sees the end now; the sockets are closed by their owner.
    requester.ShutdownBoth();
    peer.ShutdownBoth();
}

void RunIperfClient(AgentState& state, const std::vector<std::string>& tokens, uint16_t port) {
    platform::ChildProcess iperf;
    if (!StartIperf(iperf, state.Config().iperfPath, tokens, port)) {
        return;
    }
    const IperfTiming& timing = state.Config().timing;
    int idlePolls = 0;
    char buffer[protocol::kOutputChunk];
    while (!state.ShuttingDown()) {
        if (iperf.ReadAvailable(buffer, sizeof buffer) > 0) {
            idlePolls = 0;
            continue;
        }
        if (iperf.WaitForOutputOrExit(timing.pollMs)) {
            continue;
        }
        if (iperf.Exited() || ++idlePolls >= timing.runIdlePolls) {
            break;
        }
    }
    iperf.Terminate();
}

void RunClientRole(AgentState& state, const platform::Socket& requester, std::string_view line) {
    const std::optional<std::vector<std::string>> tokens = protocol::ValidateClientCommand(line);
    if (!tokens) {
        return;
    }
    const IperfTiming& timing = state.Config().timing;
    std::optional<protocol::ServerRequestResult> server =
        protocol::ServerRequest(line, state.Config().peerControlPort, timing.peerConnectTimeoutMs,
                                timing.peerReplyTimeoutMs, &state.ShutdownFlag());
    if (!server || state.ShuttingDown()) {
        return;
    }
    const platform::Socket& peer = server->socket;
    WatchedSocket watched(state.Sockets(), peer);
    if (!watched) {
        return;
    }
    std::thread forwarding;
    try {
        forwarding = std::thread([&peer, &requester] { ForwardStream(peer, requester); });
    } catch (const std::system_error&) {
        return;  // both connections close
    }
    RunIperfClient(state, *tokens, static_cast<uint16_t>(server->port));
    forwarding.join();
}

}  // namespace quarn::agent
