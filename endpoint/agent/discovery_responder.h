#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "endpoint/agent/agent_state.h"
#include "endpoint/agent/authentication.h"
#include "endpoint/agent/probe_rate_limit.h"
#include "platform/adapters.h"
#include "platform/adapters6.h"
#include "platform/socket.h"
#include "platform/socket6.h"

namespace quarn::agent {

// The replies to one probe: one per qualifying address, with the default iperf port, the
// control port (or the UTF-8 mark for a name that is not plain ASCII) and the name cut to
// protocol::kMaxNameCharacters.
std::vector<std::string> ProbeReplies(const std::vector<platform::Adapter>& adapters,
                                      const std::string& name, uint16_t controlPort);
// The same for a probe that came over IPv6: each interface's announced IPv6 address.
std::vector<std::string> ProbeReplies6(const std::vector<platform::Interface6Address>& adapters,
                                       const std::string& name, uint16_t controlPort);

// Restarts obeyed: once a second per source (a Console sends three copies), and a few a
// second from everyone, so that a flood of "restart" costs no more than a search.
inline const ProbeRateLimit::Limits kRestartLimits = {1, 1, 8, 4, 1024};
// And without a key at most one in this time from anyone: a Console sends its copies over
// both families, and nothing ties a host's IPv4 source to its IPv6 one.
inline constexpr std::chrono::milliseconds kUnkeyedRestartGap{1000};

// Answers "hello" and "facts" on the discovery port (and over IPv6 too, unicast and to
// ff02::1 on each interface, when bound to every address), within the probe rate limits, and
// runs onRestart for "restart": within kRestartLimits and kUnkeyedRestartGap without a key,
// and with one for each authenticated restart once (a forged one costs a tag check, and no
// stranger can use up a Console's share of the limit).
class DiscoveryResponder {
  public:
    DiscoveryResponder(AgentState& state, std::function<void()> onRestart,
                       const ProbeRateLimit::Limits& limits = {},
                       const ProbeRateLimit::Limits& restartLimits = kRestartLimits)
        : state_(state),
          onRestart_(std::move(onRestart)),
          rateLimit_(limits),
          factsLimit_(limits),
          restartLimit_(restartLimits),
          restartGuard_(state.Config().labKey) {}

    // False when the IPv4 port is taken; IPv6 is served besides where the system has it.
    bool Bind();
    uint16_t Port() const { return platform::LocalPort(socket_); }
    bool ServesIpv6() const { return socket6_.Valid(); }
    // Serve until shutdown, on the IPv4 and the IPv6 socket; Wake() (from another thread)
    // makes both notice at once.
    void Run();
    void Run6();
    void Wake() const {
        socket_.ShutdownBoth();
        socket6_.ShutdownBoth();
    }
    // Joins ff02::1 on those of the qualifying interfaces not joined yet. The agent's
    // refresh calls it each period, so that Run6 sleeps in its receive with no timeout of its own.
    void JoinNewInterfaces(const std::vector<platform::Interface6Address>& adapters);
    // Once Run and Run6 have returned.
    void Close() {
        socket_.Close();
        socket6_.Close();
    }

  private:
    void Bind6();
    void Answer6(const platform::Datagram6& probe);
    bool Allowed(ProbeRateLimit& limit, const IpAddress& source);
    void Answer(const platform::Datagram& probe);
    std::vector<std::string> SignedReplies(const std::vector<std::string>& replies,
                                           const std::string& probe) const;
    bool RestartAllowed(const std::string& data, const IpAddress& source);
    bool UnkeyedRestartAllowed(const IpAddress& source);
    void AnswerFacts(const platform::Datagram& probe);
    void AnswerFacts6(const platform::Datagram6& probe);

    AgentState& state_;
    std::function<void()> onRestart_;
    ProbeRateLimit rateLimit_;
    ProbeRateLimit factsLimit_;  // of its own: "facts" never costs a "hello" its reply
    ProbeRateLimit restartLimit_;
    RestartGuard restartGuard_;
    std::optional<ProbeRateLimit::Clock::time_point> lastUnkeyedRestart_;
    std::mutex limitsMutex_;  // the limits and the guard are shared by both families
    platform::Socket socket_;
    platform::Socket socket6_;
    std::mutex joinMutex_;
    std::set<unsigned> joined_;  // interface indices, under joinMutex_
};

}  // namespace quarn::agent
