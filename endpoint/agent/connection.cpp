#include "endpoint/agent/connection.h"

#include <chrono>
#include <optional>
#include <string>

#include "endpoint/agent/authentication.h"
#include "endpoint/agent/client_role.h"
#include "endpoint/agent/server_role.h"
#include "platform/deadline.h"
#include "protocol/messages.h"
#include "protocol/request_framer.h"

namespace quarn::agent {
namespace {

// The whole line must arrive before one deadline: a timeout per receive would let a
// requester that trickles a byte now and then hold the connection for ever.
std::optional<std::string> ReadRequestLine(AgentState& state, const platform::Socket& connection) {
    const auto deadline = platform::SteadyClock::now() +
                          std::chrono::milliseconds(state.Config().timing.requestTimeoutMs);
    protocol::RequestFramer framer;
    char buffer[protocol::kRequestChunk];
    while (true) {
        const int leftMs = platform::PollTimeoutMs(deadline);
        if (leftMs == 0 || !platform::SetRecvTimeout(connection, leftMs)) {
            return std::nullopt;
        }
        const platform::RecvResult got = platform::Receive(connection, buffer, sizeof buffer);
        if (got.status != platform::RecvStatus::Data || state.ShuttingDown()) {
            return std::nullopt;
        }
        switch (framer.Append(std::string_view(buffer, got.bytes))) {
            case protocol::RequestFramer::Complete:
                return framer.Line();
            case protocol::RequestFramer::TooLong:
                return std::nullopt;
            case protocol::RequestFramer::NeedMore:
                break;
        }
    }
}

}  // namespace

void ServeConnection(AgentState& state, platform::Socket connection, const IpAddress& source) {
    WatchedSocket watched(state.Sockets(), connection);
    if (!watched) {
        return;
    }
    const std::optional<std::string> first = ReadRequestLine(state, connection);
    const std::optional<std::string> line =
        first ? AuthenticatedRequest(state, connection, *first,
                                     [&] { return ReadRequestLine(state, connection); })
              : std::nullopt;
    if (!line) {
        return;
    }
    if (protocol::RequestFramer::IsServerRequest(*line)) {
        // A requester at its bound of servers gets what a failed start gets: no reply.
        const SourceSlots::Slot server = state.ServerSlots().TryTake(source);
        if (server) {
            RunServerRole(state, connection, protocol::RequestFramer::ServerOptions(*line));
        }
    } else {
        RunClientRole(state, connection, *line);
    }
}

}  // namespace quarn::agent
