#include "endpoint/agent/control_listener.h"

#include <chrono>
#include <memory>
#include <thread>

#include "endpoint/agent/connection.h"

namespace quarn::agent {
namespace {

constexpr int kBacklog = 5;
// After a failed accept (out of descriptors, say) instead of spinning.
constexpr auto kAcceptRetryDelay = std::chrono::milliseconds(50);

}  // namespace

bool ControlListener::Bind() {
    socket_ =
        platform::TcpListen(state_.Config().bindAddress, state_.Config().controlPort, kBacklog);
    return socket_.Valid();
}

void ControlListener::Run() {
    while (!state_.ShuttingDown()) {
        platform::Socket connection = platform::Accept(socket_);
        if (state_.ShuttingDown()) {
            break;
        }
        if (!connection.Valid()) {
            std::this_thread::sleep_for(kAcceptRetryDelay);
            continue;
        }
        // std::function needs a copyable callable, so the socket travels in a shared_ptr.
        auto owned = std::make_shared<platform::Socket>(std::move(connection));
        AgentState& state = state_;
        // At the limit the connection is closed at once, unanswered.
        connections_.Launch([&state, owned] { ServeConnection(state, std::move(*owned)); });
    }
}

}  // namespace quarn::agent
