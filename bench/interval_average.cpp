#include "bench/interval_average.h"

#include <regex>

namespace quarn::bench {

bool IntervalAverage::Add(const std::string& line) {
    // 2.1 prints "0.0000-1.0000 sec", 2.0 " 0.0- 1.0 sec".
    static const std::regex report(
        R"((\d+\.\d+)-\s*(\d+\.\d+)\s+sec\s.*\s(\d+(?:\.\d+)?)\s+Mbits/sec)");
    std::smatch match;
    if (!std::regex_search(line, match, report)) {
        return false;
    }
    const double begin = std::stod(match[1]);
    const double end = std::stod(match[2]);
    // The run's total also starts at zero but spans more than a second.
    if (end - begin > 1.5) {
        return false;
    }
    rates_.push_back(std::stod(match[3]));
    return true;
}

std::optional<double> IntervalAverage::Average(int seconds) const {
    if (seconds <= 0 || Intervals() < kWarmupSeconds + seconds) {
        return std::nullopt;
    }
    double sum = 0.0;
    for (int i = kWarmupSeconds; i < kWarmupSeconds + seconds; ++i) {
        sum += rates_[static_cast<std::size_t>(i)];
    }
    return sum / seconds;
}

}  // namespace quarn::bench
