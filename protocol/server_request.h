#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "platform/socket.h"
#include "protocol/messages.h"

namespace quarn::protocol {

struct ServerRequestResult {
    platform::Socket socket;  // stays open and carries the server's output stream
    int port = -1;            // the iperf data port, > 0
};

// Why a server request failed, for the requester to report.
struct ServerRequestFailure {
    enum class Step {
        None,
        BadCommand,    // the command names no peer address
        Connect,       // no connection; error holds the system's errno (ETIMEDOUT: no answer)
        Send,          // the request could not be sent
        ReplyTimeout,  // no complete reply line by the deadline
        ReplyClosed,   // the peer closed (or reset) the connection before its reply
        Refused,       // a reply line other than "ok;<port>"; reply holds it
    };
    Step step = Step::None;
    int error = 0;
    std::string reply;
};

// How the request line (without CR LF) reaches the peer once connected: Yes when it went,
// RetryPlain when the peer (an older EndPoint) closed on the sender's own opening and the
// plain line is to go on a new connection, No when nothing more is to be done.
enum class RequestSent { Yes, RetryPlain, No };
using RequestSender = std::function<RequestSent(const platform::Socket&, std::string_view)>;

// Asks the EndPoint named by the client command's "-c" for an iperf server and waits for
// "ok;<port>" (port 1..65535). nullopt (socket closed) on any failure. On success the
// socket keeps replyTimeout as its receive timeout until the caller sets its own.
// A stop (shutdown) ends the connect or the wait for the reply at once. An empty sender
// sends the line plain.
std::optional<ServerRequestResult> ServerRequest(
    std::string_view command, uint16_t controlPort = kControlPort,
    std::chrono::milliseconds connectTimeout = std::chrono::seconds(10),
    std::chrono::milliseconds replyTimeout = std::chrono::seconds(15),
    const std::stop_token& stop = {}, ServerRequestFailure* failure = nullptr,
    const RequestSender& sender = {});

}  // namespace quarn::protocol
