#include "endpoint/agent/connection.h"

#include <optional>
#include <string>

#include "endpoint/agent/client_role.h"
#include "endpoint/agent/server_role.h"
#include "protocol/messages.h"
#include "protocol/request_framer.h"

namespace quarn::agent {
namespace {

std::optional<std::string> ReadRequestLine(AgentState& state, const platform::Socket& connection) {
    if (!platform::SetRecvTimeout(connection, state.Config().timing.requestTimeoutMs)) {
        return std::nullopt;
    }
    protocol::RequestFramer framer;
    char buffer[protocol::kRequestChunk];
    while (true) {
        const long got = platform::RecvSome(connection, buffer, sizeof buffer);
        if (got <= 0 || state.ShuttingDown()) {
            return std::nullopt;
        }
        switch (framer.Append(std::string_view(buffer, static_cast<size_t>(got)))) {
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

void ServeConnection(AgentState& state, platform::Socket connection) {
    WatchedSocket watched(state.Sockets(), connection);
    if (!watched) {
        return;
    }
    const std::optional<std::string> line = ReadRequestLine(state, connection);
    if (!line) {
        return;
    }
    if (protocol::RequestFramer::IsServerRequest(*line)) {
        RunServerRole(state, connection, protocol::RequestFramer::ServerOptions(*line));
    } else {
        RunClientRole(state, connection, *line);
    }
}

}  // namespace quarn::agent
