#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "console/core/traffic_options.h"

namespace quarn::console {

// What went wrong for a pair, so the operator sees why, not only that, it failed.
enum class FailureKind {
    NoAnswer,            // no connection within the connect limit
    Refused,             // the connection was refused
    Unreachable,         // any other connect error; detail holds the system's text
    NoReply,             // the server request got no reply within its limit
    ServerNotStarted,    // the server request was closed or answered without "ok"
    ClosedBeforeOutput,  // the stream ended before any line arrived
    EndedEarly,          // the stream ended before the run's duration was reached
    Silent,              // the stream stayed silent for the receive limit
    IperfError,          // iperf's own error line; detail holds it
    NotStarted,          // the pair's worker or local iperf could not be started
    OptionNotTaken,      // the End Point did not announce `option`: an older EndPoint
};

// Who the failure concerns: End Point 1 or 2 of the pair, or this Console itself.
enum class FailureSide { EndPoint1, EndPoint2, Console };

struct PairFailure {
    FailureKind kind = FailureKind::NotStarted;
    FailureSide side = FailureSide::EndPoint1;
    std::string address;  // of the End Point concerned
    std::string detail;   // iperf's line, the system's error text or the refusing reply
    int seconds = 0;      // the limit that ran out, or the seconds received before the end
    std::chrono::seconds duration{0};            // EndedEarly: the run's duration
    int port = 0;                                // the control port tried
    TrafficOption option = TrafficOption::Dscp;  // OptionNotTaken: what it does not take
    std::chrono::system_clock::time_point when = std::chrono::system_clock::now();
};

// The operator's lines for a failure: "Error at <time>: <what failed>", then iperf's or
// the system's own text when there is one.
std::vector<std::string> FailureLines(const PairFailure& failure);

}  // namespace quarn::console
