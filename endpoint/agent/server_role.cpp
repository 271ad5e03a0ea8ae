#include "endpoint/agent/server_role.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "endpoint/agent/iperf_launch.h"
#include "platform/child_process.h"
#include "platform/deadline.h"
#include "platform/socket6.h"
#include "platform/wake_event.h"
#include "protocol/command_validation.h"
#include "protocol/messages.h"
#include "protocol/ok_reply.h"

namespace quarn::agent {
namespace {

enum class StartOutcome { Listening, TryNextPort, GiveUp };

// Only the tail matters for finding the two markers, however much iperf prints first.
constexpr size_t kCollectedLimit = 4096;
constexpr size_t kCollectedKeep = 64;
// What is left in the pipe after iperf has ended, at most.
constexpr int kDrainChunks = 128;

void AppendBounded(std::string& collected, std::string_view chunk) {
    collected.append(chunk);
    if (collected.size() > kCollectedLimit) {
        collected.erase(0, collected.size() - kCollectedKeep);
    }
}

StartOutcome WaitUntilListening(AgentState& state, platform::ChildProcess& iperf) {
    const platform::StopWake stop(state.ShutdownToken());
    std::string collected;
    auto silenceEnds = platform::SteadyClock::now() + state.Config().timing.StartupSilence();
    char buffer[protocol::kOutputChunk];
    while (true) {
        const long got = iperf.ReadAvailable(buffer, sizeof buffer);
        if (got > 0) {
            AppendBounded(collected, std::string_view(buffer, static_cast<size_t>(got)));
            silenceEnds = platform::SteadyClock::now() + state.Config().timing.StartupSilence();
        }
        // Old iperf prints both; a failed bind wins.
        if (collected.find("bind failed") != std::string::npos) {
            iperf.Terminate();
            return StartOutcome::TryNextPort;
        }
        if (collected.find("listening") != std::string::npos) {
            return StartOutcome::Listening;
        }
        if (got > 0) {
            continue;
        }
        const platform::ChildEvent event =
            iperf.WaitForEvent(std::chrono::ceil<std::chrono::milliseconds>(
                                   silenceEnds - platform::SteadyClock::now()),
                               stop.Event());
        if (event == platform::ChildEvent::Exited) {
            return StartOutcome::TryNextPort;
        }
        if (event == platform::ChildEvent::Woken || (event == platform::ChildEvent::TimedOut &&
                                                     platform::SteadyClock::now() >= silenceEnds)) {
            break;
        }
    }
    iperf.Terminate();
    return StartOutcome::GiveUp;
}

// The port the server listens on, or nullopt when every attempt failed.
std::optional<uint16_t> StartServer(AgentState& state, const std::vector<std::string>& tokens,
                                    bool udp, platform::ChildProcess& iperf) {
    const std::vector<uint16_t> candidates = state.Ports().Choose(udp);
    for (size_t attempt = 0; attempt < PortAllocator::kCandidates; ++attempt) {
        const uint16_t port = AttemptPort(candidates, attempt);
        if (!StartIperf(iperf, state.Config().iperfPath, tokens, port)) {
            return std::nullopt;  // a missing iperf does not appear on the next port
        }
        switch (WaitUntilListening(state, iperf)) {
            case StartOutcome::Listening:
                return port;
            case StartOutcome::GiveUp:
                return std::nullopt;
            case StartOutcome::TryNextPort:
                iperf.Terminate();
                break;
        }
    }
    return std::nullopt;
}

// Every write has a deadline: a requester that stops reading is let go.
bool SendToRequester(AgentState& state, const platform::Socket& connection, std::string_view data) {
    return platform::SendAllWithin(connection, data, state.Config().stalledPeerLimit);
}

// Sends what iperf wrote before it ended.
void ForwardRemaining(AgentState& state, platform::ChildProcess& iperf,
                      const platform::Socket& connection) {
    char buffer[protocol::kOutputChunk];
    for (int chunk = 0; chunk < kDrainChunks; ++chunk) {
        const long got = iperf.ReadAvailable(buffer, sizeof buffer);
        if (got <= 0 || !SendToRequester(state, connection,
                                         std::string_view(buffer, static_cast<size_t>(got)))) {
            return;
        }
    }
}

// Sleeps until iperf writes, ends or goes silent for too long, the requester leaves or the
// agent shuts down.
void StreamOutput(AgentState& state, platform::ChildProcess& iperf,
                  const platform::Socket& connection) {
    const platform::StopWake stop(state.ShutdownToken());
    const auto silence = state.Config().timing.RunSilence();
    auto silenceEnds = platform::SteadyClock::now() + silence;
    char buffer[protocol::kOutputChunk];
    while (true) {
        const long got = iperf.ReadAvailable(buffer, sizeof buffer);
        if (got > 0) {
            silenceEnds = platform::SteadyClock::now() + silence;
            // Nobody reads a connection that cannot be written any more.
            if (!SendToRequester(state, connection,
                                 std::string_view(buffer, static_cast<size_t>(got)))) {
                return;
            }
            continue;
        }
        switch (iperf.WaitForEvent(std::chrono::ceil<std::chrono::milliseconds>(
                                       silenceEnds - platform::SteadyClock::now()),
                                   stop.Event(), &connection)) {
            case platform::ChildEvent::Output:
                break;
            case platform::ChildEvent::Exited:
                ForwardRemaining(state, iperf, connection);
                return;
            case platform::ChildEvent::TimedOut:
                if (platform::SteadyClock::now() >= silenceEnds) {
                    return;
                }
                break;
            // The requester closed its side: its run is over, whatever iperf still does.
            case platform::ChildEvent::PeerGone:
            case platform::ChildEvent::Woken:
                return;
        }
    }
}

}  // namespace

bool RunServerRole(AgentState& state, const platform::Socket& connection,
                   std::string_view options) {
    const std::optional<std::vector<std::string>> tokens = protocol::ValidateServerOptions(options);
    if (!tokens) {
        return false;
    }
    const bool udp = options.find("-u") != std::string_view::npos;
    // A requester over IPv6 measures over IPv6: iperf listens there only with -V.
    const std::optional<IpAddress> peer = platform::PeerIpAddress(connection);
    std::vector<std::string> arguments = *tokens;
    if (peer && peer->IsV6() && !peer->IsV4Mapped()) {
        arguments.push_back("-V");
    }
    platform::ChildProcess iperf;
    const std::optional<uint16_t> port = StartServer(state, arguments, udp, iperf);
    if (!port) {
        return false;
    }
    if (SendToRequester(state, connection, protocol::FormatOkReply(*port))) {
        ActiveRole active(state);
        StreamOutput(state, iperf, connection);
    }
    iperf.Terminate();
    return true;
}

}  // namespace quarn::agent
