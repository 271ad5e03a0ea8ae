#include "protocol/server_request.h"

#include <cerrno>
#include <chrono>
#include <string>
#include <utility>

#include "address/ip_address.h"
#include "address/ipv4.h"
#include "platform/deadline.h"
#include "platform/socket6.h"
#include "protocol/client_command.h"
#include "protocol/ok_reply.h"

namespace quarn::protocol {
namespace {

// A peer that never ends its reply line must not make us collect forever.
constexpr size_t kMaxReplyBytes = 4096;
constexpr int kMaxPort = 65535;

// One receive of the reply with what is left until the deadline as its timeout; the
// bytes, 0 when the peer closed (or a stop shut the socket down), -1 for the deadline and
// for errors.
long ReceiveReplyChunk(const platform::Socket& socket, char* buffer, size_t size,
                       platform::SteadyClock::time_point deadline) {
    // Checked before every receive: a peer that keeps sending bytes never times one out.
    const int leftMs = platform::PollTimeoutMs(deadline);
    if (leftMs == 0 || !platform::SetRecvTimeout(socket, leftMs)) {
        return -1;
    }
    const platform::RecvResult got = platform::Receive(socket, buffer, size);
    switch (got.status) {
        case platform::RecvStatus::Data:
            return static_cast<long>(got.bytes);
        case platform::RecvStatus::Closed:
            return 0;
        case platform::RecvStatus::TimedOut:
        case platform::RecvStatus::Error:
            break;
    }
    return -1;
}

// The reply line up to its CR LF; nullopt when the peer closes, overruns or has not ended
// the line by the deadline (`step` says which). One deadline for the whole line: a peer
// that drips a byte at a time must not keep the requester waiting for longer than a
// silent one.
std::optional<std::string> ReadReplyLine(const platform::Socket& socket,
                                         std::chrono::milliseconds replyTimeout,
                                         ServerRequestFailure::Step& step) {
    const auto deadline = platform::SteadyClock::now() + replyTimeout;
    std::string reply;
    char buffer[kReplyChunk];
    size_t end;
    while ((end = reply.find(kCrLf)) == std::string::npos) {
        if (reply.size() > kMaxReplyBytes) {
            step = ServerRequestFailure::Step::Refused;
            return std::nullopt;
        }
        const long got = ReceiveReplyChunk(socket, buffer, sizeof buffer, deadline);
        if (got <= 0) {
            const bool late = got < 0 && platform::SteadyClock::now() >= deadline;
            step = late ? ServerRequestFailure::Step::ReplyTimeout
                        : ServerRequestFailure::Step::ReplyClosed;
            return std::nullopt;
        }
        reply.append(buffer, static_cast<size_t>(got));
    }
    // Bytes after the CR LF can only be the start of the server's banner; they are dropped.
    reply.resize(end);
    return reply;
}

std::optional<ServerRequestResult> Failed(ServerRequestFailure* failure,
                                          ServerRequestFailure::Step step, int error = 0,
                                          std::string reply = {}) {
    if (failure != nullptr) {
        *failure = ServerRequestFailure{step, error, std::move(reply)};
    }
    return std::nullopt;
}

}  // namespace

std::optional<ServerRequestResult> ServerRequest(std::string_view command, uint16_t controlPort,
                                                 std::chrono::milliseconds connectTimeout,
                                                 std::chrono::milliseconds replyTimeout,
                                                 const std::stop_token& stop,
                                                 ServerRequestFailure* failure,
                                                 const RequestSender& sender) {
    using Step = ServerRequestFailure::Step;
    const CommandScan scan = ScanCommand(command);
    // A link-local peer keeps its zone: only this machine's client aims at one.
    const std::optional<IpAddress> peer = ParseIpAddress(scan.peer);
    if (!peer) {
        return Failed(failure, Step::BadCommand);
    }
    // The same family for a plain retry as for the first try.
    const auto connect = [&] {
        return peer->IsV4()
                   ? platform::TcpConnect(peer->V4Value(), controlPort, connectTimeout, stop)
                   : platform::TcpConnect6(*peer, controlPort, connectTimeout, stop);
    };
    platform::Socket socket = connect();
    if (!socket.Valid()) {
        return Failed(failure, Step::Connect, errno);
    }
    const std::string request = ServerRequestFor(scan);
    if (sender) {
        const std::string_view line(request.data(), request.size() - kCrLf.size());
        switch (sender(socket, line)) {
            case RequestSent::Yes:
                break;
            case RequestSent::No:
                return Failed(failure, Step::Send, errno);
            case RequestSent::RetryPlain:
                socket = connect();
                if (!socket.Valid() || !platform::SendAll(socket, request)) {
                    return Failed(failure, Step::Connect, errno);
                }
                break;
        }
    }
    if (!sender && !platform::SendAll(socket, request)) {
        return Failed(failure, Step::Send, errno);
    }
    Step step = Step::None;
    std::optional<std::string> line;
    {
        // Shutting the socket down ends a receive that waits for the reply.
        const std::stop_callback wake(stop, [&socket] { socket.ShutdownBoth(); });
        line = ReadReplyLine(socket, replyTimeout, step);
    }
    if (!line) {
        return Failed(failure, step);
    }
    // The stream after the reply is read with the full timeout.
    if (!platform::SetRecvTimeout(socket, static_cast<int>(replyTimeout.count()))) {
        return Failed(failure, Step::Send, errno);
    }
    const int port = ParseOkReply(*line);
    if (port <= 0 || port > kMaxPort) {
        return Failed(failure, Step::Refused, 0, *line);
    }
    return ServerRequestResult{std::move(socket), port};
}

}  // namespace quarn::protocol
