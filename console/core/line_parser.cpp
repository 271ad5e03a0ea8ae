#include "console/core/line_parser.h"

#include <cmath>
#include <limits>

#include "console/core/number_text.h"

namespace quarn::console {

namespace {

constexpr std::string_view kRateUnit = "Mbits/sec";

bool IsSeparator(char c) {
    return c == ' ' || c == '\t';
}

std::size_t SkipSeparators(std::string_view line, std::size_t pos) {
    while (pos < line.size() && IsSeparator(line[pos])) {
        ++pos;
    }
    return pos;
}

// The token before "Mbits/sec", or the last token when there is none.
std::string_view ValueText(std::string_view line) {
    std::string_view previous;
    std::string_view token;
    std::size_t pos = SkipSeparators(line, 0);
    while (pos < line.size()) {
        std::size_t end = pos;
        while (end < line.size() && !IsSeparator(line[end])) {
            ++end;
        }
        previous = token;
        token = line.substr(pos, end - pos);
        if (token == kRateUnit) {
            break;
        }
        pos = SkipSeparators(line, end);
    }
    return token == kRateUnit ? previous : token;
}

}  // namespace

std::string_view WithoutTrailingCr(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

bool IsFailureLine(std::string_view line) {
    return line.find("failed") != std::string_view::npos;
}

bool IsPossibleRate(double mbits) {
    return mbits >= 0.0 && mbits <= kMaxRateMbits;  // false for NaN too
}

bool IsSampleLine(std::string_view line, int parallel, bool udp) {
    if (line.find(kRateUnit) == std::string_view::npos) {
        return false;
    }
    if (!(parallel < 2 || udp || line.find("[SUM]") != std::string_view::npos)) {
        return false;
    }
    return IsPossibleRate(LeadingDouble(ValueText(line)));
}

bool IsRunTotalLine(std::string_view line) {
    // The interval follows the "[ ID]" column; iperf 2 prints its start as "0.0",
    // "0.00" or "0.0000", with or without blanks after the bracket.
    const std::size_t bracket = line.find(']');
    if (bracket == std::string_view::npos) {
        return false;
    }
    std::size_t pos = SkipSeparators(line, bracket + 1);
    bool sawDigit = false;
    bool allZero = true;
    while (pos < line.size() && ((line[pos] >= '0' && line[pos] <= '9') || line[pos] == '.')) {
        if (line[pos] != '.') {
            sawDigit = true;
            allZero = allZero && line[pos] == '0';
        }
        ++pos;
    }
    pos = SkipSeparators(line, pos);
    const bool isInterval = sawDigit && pos < line.size() && line[pos] == '-';
    return isInterval && allZero;
}

float SampleValue(std::string_view line) {
    const double value = LeadingDouble(ValueText(line));
    if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max()) {
        return 0.0f;
    }
    return static_cast<float>(value);
}

}  // namespace quarn::console
