#include "endpoint/agent/client_role.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "address/ip_address.h"
#include "address/ipv4.h"
#include "endpoint/agent/iperf_launch.h"
#include "endpoint/agent/target_policy.h"
#include "labkey/control_handshake.h"
#include "platform/adapters.h"
#include "platform/adapters6.h"
#include "platform/child_process.h"
#include "platform/deadline.h"
#include "platform/thread_name.h"
#include "platform/wake_event.h"
#include "protocol/command_validation.h"
#include "protocol/messages.h"
#include "protocol/server_request.h"

namespace quarn::agent {

void ForwardStream(const platform::Socket& peer, const platform::Socket& requester,
                   std::chrono::milliseconds writeLimit) {
    char buffer[protocol::kOutputChunk];
    // The requester never sends anything after its command line, so its side only ever
    // ends; shutdown wakes the wait by shutting both sockets down.
    platform::RelayWait wait(peer, requester);
    while (true) {
        const platform::RelayStep got = wait.Next(buffer, sizeof buffer);
        if (got.wait != platform::StreamWait::SourceReadable || got.bytes == 0) {
            break;
        }
        if (!platform::SendAllWithin(requester, std::string_view(buffer, got.bytes), writeLimit)) {
            break;  // a requester that stops reading is let go
        }
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

namespace {

// The "-c" value of a validated command.
const std::string& TargetOf(const std::vector<std::string>& tokens) {
    return *std::next(std::find(tokens.begin(), tokens.end(), "-c"));
}

bool TargetAllowedFor(const AgentState& state, const std::string& target) {
    if (const std::optional<uint32_t> v4 = ParseIpv4(target)) {
        return TargetAllowed(*v4, platform::ListInterfaceAddresses(),
                             state.Config().loopbackTargets);
    }
    const auto v6 = ParseIpv6(target);
    return v6 && TargetAllowed6(IpAddress::V6(*v6), platform::ListInterface6Addresses(),
                                state.Config().loopbackTargets);
}

// With a key, End Point 2 is asked the way a keyed Console asks us; without one, plain.
protocol::RequestSender PeerSender(AgentState& state) {
    if (!state.Config().labKey) {
        return {};
    }
    return labkey::KeyedSender(*state.Config().labKey,
                               std::chrono::milliseconds(state.Config().timing.peerReplyTimeoutMs));
}

}  // namespace

void RunClientRole(AgentState& state, const platform::Socket& requester, std::string_view line) {
    std::optional<std::vector<std::string>> tokens = protocol::ValidateClientCommand(line);
    if (!tokens || !TargetAllowedFor(state, TargetOf(*tokens))) {
        return;
    }
    if (!ParseIpv4(TargetOf(*tokens))) {
        tokens->push_back("-V");  // explicit, for iperf builds that do not tell from the address
    }
    const IperfTiming& timing = state.Config().timing;
    std::optional<protocol::ServerRequestResult> server =
        protocol::ServerRequest(line, state.Config().peerControlPort,
                                std::chrono::milliseconds(timing.peerConnectTimeoutMs),
                                std::chrono::milliseconds(timing.peerReplyTimeoutMs),
                                state.ShutdownToken(), nullptr, PeerSender(state));
    if (!server || state.ShuttingDown()) {
        return;
    }
    const platform::Socket& peer = server->socket;
    platform::KeepAliveWithin(peer, state.Config().stalledPeerLimit);
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
        const std::chrono::milliseconds writeLimit = state.Config().stalledPeerLimit;
        forwarding = std::jthread([&peer, &requester, runOver, writeLimit] {
            platform::NameThisThread("forward");
            ForwardStream(peer, requester, writeLimit);
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
