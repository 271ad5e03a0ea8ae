#pragma once

#include <optional>
#include <string_view>

namespace quarn::console {

// One receiving-side UDP report line of iperf 2:
// "[  3]  0.0- 1.0 sec  0.63 MBytes  5.26 Mbits/sec   0.002 ms    0/  446 (0%)".
struct UdpReport {
    bool sum = false;         // "[SUM]" (and "[SUM-N]") lines
    std::string_view stream;  // the text between the brackets, blanks trimmed
    double start = 0.0;       // the interval, in seconds
    double end = 0.0;
    std::optional<double> jitterMs;  // absent on the [SUM] lines of most versions
    long long lost = 0;
    long long total = 0;
};

// The report in `line`, or nothing when the line carries no "lost/total (percent%)" part.
// The returned stream view points into `line`.
std::optional<UdpReport> ParseUdpReport(std::string_view line);

// Whether a parsed report is a measurement at all: a second without datagrams (a server
// whose client went away prints "0/0 (-nan%)") is not, and neither is a loss outside
// 0..100 % or a jitter that is negative or not a number.
enum class UdpReportKind { Counted, Empty, Impossible };
UdpReportKind Classify(const UdpReport& report);

}  // namespace quarn::console
