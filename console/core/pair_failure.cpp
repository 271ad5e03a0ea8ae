#include "console/core/pair_failure.h"

#include "console/core/local_time.h"

namespace quarn::console {
namespace {

std::string Who(const PairFailure& failure) {
    switch (failure.side) {
        case FailureSide::EndPoint1:
            return "End Point 1 " + failure.address;
        case FailureSide::EndPoint2:
            return "End Point 2 " + failure.address;
        case FailureSide::Console:
            break;
    }
    return "This Console";
}

std::string Seconds(int seconds) {
    return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
}

std::string WhatFailed(const PairFailure& failure) {
    const std::string who = Who(failure);
    const std::string port = "TCP " + std::to_string(failure.port);
    switch (failure.kind) {
        case FailureKind::NoAnswer:
            return who + " did not answer on " + port + " within " + Seconds(failure.seconds) + ".";
        case FailureKind::Refused:
            return who + " refused the connection on " + port + ".";
        case FailureKind::Unreachable:
            return who + " could not be reached on " + port + ".";
        case FailureKind::NoReply:
            return who + " did not reply to the server request within " + Seconds(failure.seconds) +
                   ".";
        case FailureKind::ServerNotStarted:
            return who + " did not start an iperf server (no \"ok\" reply).";
        case FailureKind::ClosedBeforeOutput:
            return who + " closed the connection before any iperf output.";
        case FailureKind::EndedEarly:
            return who + "'s stream ended early, after " + Seconds(failure.seconds) + " of " +
                   std::to_string(failure.duration.count()) + ".";
        case FailureKind::Silent:
            return who + " sent nothing for " + Seconds(failure.seconds) + ".";
        case FailureKind::IperfError:
            return who + "'s iperf reported an error.";
        case FailureKind::NotStarted:
            return who + " could not start the pair's measurement.";
        case FailureKind::OptionNotTaken:
            return who + " does not take " + std::string(OptionName(failure.option)) +
                   ": an older EndPoint";
    }
    return who + " failed.";
}

}  // namespace

std::vector<std::string> FailureLines(const PairFailure& failure) {
    std::vector<std::string> lines;
    lines.push_back("Error at " + FormatMeasuredAt(failure.when) + ": " + WhatFailed(failure));
    if (!failure.detail.empty()) {
        const std::string source = failure.kind == FailureKind::IperfError ? "iperf: " : "";
        lines.push_back(source + failure.detail);
    }
    return lines;
}

}  // namespace quarn::console
