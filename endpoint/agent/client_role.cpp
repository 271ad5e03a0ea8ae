#include "endpoint/agent/client_role.h"

#include <chrono>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "endpoint/agent/iperf_launch.h"
#include "platform/child_process.h"
#include "platform/deadline.h"
#include "platform/wake_event.h"
#include "protocol/command_validation.h"
#include "protocol/messages.h"
#include "protocol/server_request.h"

namespace quarn::agent {

void ForwardStream(const platform::Socket& peer, const platform::Socket& requester) {
    char buffer[protocol::kOutputChunk];
    // The requester never sends anything after its command line, so its side only ever
    // ends; shutdown wakes the wait by shutting both sockets down.
    while (platform::WaitForDataOrHangUp(peer, requester) == platform::StreamWait::SourceReadable) {
        const platform::RecvResult got = platform::Receive(peer, buffer, sizeof buffer);
        if (got.status != platform::RecvStatus::Data) {
            break;
        }
        platform::SendAll(requester, std::string_view(buffer, got.bytes));
    }
    // The requester sees the end now, and the peer's server ends once it sees ours; the
    // sockets are closed by their owner.
    requester.ShutdownBoth();
    peer.ShutdownBoth();
}

void RunIperfClient(AgentState& state, const std::vector<std::string>& tokens, uint16_t port,
                    std::stop_token stop) {
    platform::ChildProcess iperf;
    if (!StartIperf(iperf, state.Config().iperfPath, tokens, port)) {
        return;
    }
    const platform::StopWake wake(stop);
    const auto silence = state.Config().timing.RunSilence();
    auto silenceEnds = platform::SteadyClock::now() + silence;
    char buffer[protocol::kOutputChunk];
    bool running = true;
    while (running) {
        if (iperf.ReadAvailable(buffer, sizeof buffer) > 0) {
            silenceEnds = platform::SteadyClock::now() + silence;
            continue;
        }
        const platform::ChildEvent event =
            iperf.WaitForEvent(std::chrono::ceil<std::chrono::milliseconds>(
                                   silenceEnds - platform::SteadyClock::now()),
                               wake.Event());
        running =
            event == platform::ChildEvent::Output ||
            (event == platform::ChildEvent::TimedOut && platform::SteadyClock::now() < silenceEnds);
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
    // The forwarding ends when the peer's server ends or the requester goes away; either
    // way the client run has nobody left to measure for.
    std::stop_source runOver;
    const std::stop_callback onShutdown(state.ShutdownToken(),
                                        [runOver]() mutable { runOver.request_stop(); });
    std::jthread forwarding;
    try {
        forwarding = std::jthread([&peer, &requester, runOver] {
            ForwardStream(peer, requester);
            runOver.request_stop();
        });
    } catch (const std::system_error&) {
        return;  // both connections close
    }
    {
        // Measuring from here: the window says "Running" while this client sends.
        ActiveRole active(state);
        RunIperfClient(state, *tokens, static_cast<uint16_t>(server->port), runOver.get_token());
    }
    // The peer's last report still comes through; the jthread joins the forwarding.
}

}  // namespace quarn::agent
