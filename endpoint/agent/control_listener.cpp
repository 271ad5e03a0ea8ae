#include "endpoint/agent/control_listener.h"

#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include "endpoint/agent/connection.h"
#include "platform/thread_name.h"

namespace quarn::agent {
namespace {

constexpr int kBacklog = 5;
// After a failed accept (out of descriptors, say) instead of spinning.
constexpr auto kAcceptRetryDelay = std::chrono::milliseconds(50);

struct AcceptedConnection {
    platform::Socket socket;
    IpAddress source;
    SourceSlots::Slot slot;
};

}  // namespace

bool ControlListener::Bind() {
    socket_ =
        platform::TcpListen(state_.Config().bindAddress, state_.Config().controlPort, kBacklog);
    if (socket_.Valid() && state_.Config().bindAddress == 0) {
        // On the port the IPv4 side got (a test's port 0 gives any free one).
        socket6_ = platform::TcpListen6(IpAddress::V6({}), platform::LocalPort(socket_), kBacklog);
    }
    return socket_.Valid();
}

void ControlListener::AcceptOn(const platform::Socket& listener) {
    while (!state_.ShuttingDown()) {
        platform::Socket connection = platform::Accept(listener);
        if (state_.ShuttingDown()) {
            break;
        }
        if (!connection.Valid()) {
            std::this_thread::sleep_for(kAcceptRetryDelay);
            continue;
        }
        const std::optional<IpAddress> source = platform::PeerIpAddress(connection);
        if (!source) {
            continue;
        }
        // A requester that vanishes mid-run must not hold its slot until the run ends.
        platform::KeepAliveWithin(connection, state_.Config().stalledPeerLimit);
        // A source at its own limit is closed at once, unanswered, like any connection
        // beyond the overall limit.
        SourceSlots::Slot slot = state_.ConnectionSlots().TryTake(*source);
        if (!slot) {
            continue;
        }
        // std::function needs a copyable callable, so the socket and slot travel in a
        // shared_ptr.
        auto owned = std::make_shared<AcceptedConnection>(
            AcceptedConnection{std::move(connection), *source, std::move(slot)});
        AgentState& state = state_;
        connections_.Launch([&state, owned] {
            platform::NameThisThread("connection");
            ServeConnection(state, std::move(owned->socket), owned->source);
            owned->slot = SourceSlots::Slot();
        });
    }
}

}  // namespace quarn::agent
