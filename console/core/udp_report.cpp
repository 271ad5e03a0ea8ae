#include "console/core/udp_report.h"

#include <charconv>
#include <cmath>

namespace quarn::console {
namespace {

constexpr std::string_view kRateUnit = "Mbits/sec";

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// The whole of `text` (blanks around it trimmed) as a number of type T.
template <typename T>
std::optional<T> NumberOf(std::string_view text) {
    text = Trimmed(text);
    T value{};
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// "lost/total" between the rate and the "(percent%)" that ends the line.
bool ReadCounts(std::string_view afterRate, UdpReport& report) {
    const std::size_t open = afterRate.rfind('(');
    const std::size_t close = afterRate.rfind("%)");
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
        return false;
    }
    const std::string_view counts = afterRate.substr(0, open);
    const std::size_t slash = counts.rfind('/');
    if (slash == std::string_view::npos) {
        return false;
    }
    // The lost count is the last token before the slash; the jitter may precede it.
    const std::string_view before = Trimmed(counts.substr(0, slash));
    const std::size_t blank = before.find_last_of(" \t");
    const std::string_view lostText =
        blank == std::string_view::npos ? before : before.substr(blank + 1);
    const auto lost = NumberOf<long long>(lostText);
    const auto total = NumberOf<long long>(counts.substr(slash + 1));
    if (!lost || !total) {
        return false;
    }
    report.lost = *lost;
    report.total = *total;
    const std::size_t ms = before.find(" ms");
    if (ms != std::string_view::npos) {
        const std::string_view jitterPart = Trimmed(before.substr(0, ms));
        const std::size_t gap = jitterPart.find_last_of(" \t");
        const std::string_view jitterText =
            gap == std::string_view::npos ? jitterPart : jitterPart.substr(gap + 1);
        report.jitterMs = NumberOf<double>(jitterText);
        if (!report.jitterMs) {
            report.jitterMs = std::nan("");  // present but unreadable: not a sample
        }
    }
    return true;
}

// "[ ID] start-end sec": the stream tag and the interval.
bool ReadInterval(std::string_view line, UdpReport& report) {
    const std::size_t open = line.find('[');
    const std::size_t close = line.find(']');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
        return false;
    }
    report.stream = Trimmed(line.substr(open + 1, close - open - 1));
    report.sum = report.stream.substr(0, 3) == "SUM";
    const std::string_view rest = line.substr(close + 1);
    const std::size_t dash = rest.find('-');
    const std::size_t sec = rest.find("sec");
    if (dash == std::string_view::npos || sec == std::string_view::npos || sec < dash) {
        return false;
    }
    const auto start = NumberOf<double>(rest.substr(0, dash));
    const auto end = NumberOf<double>(rest.substr(dash + 1, sec - dash - 1));
    if (!start || !end) {
        return false;
    }
    report.start = *start;
    report.end = *end;
    return true;
}

}  // namespace

std::optional<UdpReport> ParseUdpReport(std::string_view line) {
    const std::size_t rate = line.find(kRateUnit);
    if (rate == std::string_view::npos) {
        return std::nullopt;
    }
    UdpReport report;
    if (!ReadInterval(line.substr(0, rate), report) ||
        !ReadCounts(line.substr(rate + kRateUnit.size()), report)) {
        return std::nullopt;
    }
    return report;
}

UdpReportKind Classify(const UdpReport& report) {
    if (report.total == 0 && report.lost == 0) {
        return UdpReportKind::Empty;
    }
    if (report.total < 0 || report.lost < 0 || report.lost > report.total) {
        return UdpReportKind::Impossible;
    }
    if (report.jitterMs && !(*report.jitterMs >= 0.0 && std::isfinite(*report.jitterMs))) {
        return UdpReportKind::Impossible;
    }
    return UdpReportKind::Counted;
}

}  // namespace quarn::console
