#include "protocol/command_validation.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "ipv4/ipv4.h"
#include "platform/socket.h"
#include "protocol/tokens.h"

namespace quarn::protocol {
namespace {

// Longer values are nothing the Console sends; they would only feed iperf's own parsers.
constexpr size_t kMaxValueLength = 24;

bool IsDigits(std::string_view text) {
    return !text.empty() && text.size() <= 9 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Decimal text within [low, high].
bool IsNumberIn(std::string_view text, long low, long high) {
    if (!IsDigits(text)) {
        return false;
    }
    long value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value >= low && value <= high;
}

size_t CountDigits(std::string_view text, size_t pos) {
    size_t count = 0;
    while (pos + count < text.size() && text[pos + count] >= '0' && text[pos + count] <= '9') {
        ++count;
    }
    return count;
}

bool ValueIsValid(std::string_view option, std::string_view value) {
    if (option == "-c") {
        return ParseIpv4(value).has_value();
    }
    // What the Console sends, no more: a run must not outlast any run it can ask for, nor
    // open more streams than a pair has.
    if (option == "-i") {
        return IsNumberIn(value, kReportInterval, kReportInterval);
    }
    if (option == "-t") {
        return IsNumberIn(value, 1, kMaxRunSeconds);
    }
    if (option == "-P") {
        return IsNumberIn(value, 1, kMaxParallelStreams);
    }
    if (option == "-b" || option == "-w") {
        return IsIperfSize(value);
    }
    return option == "-f" && value == "m";
}

bool TakesValue(std::string_view option) {
    static const std::set<std::string_view> kOptions = {"-c", "-i", "-t", "-P", "-b", "-w", "-f"};
    return kOptions.count(option) > 0;
}

using Tokens = std::vector<std::string_view>;

std::vector<std::string> ToStrings(const Tokens& tokens) {
    return std::vector<std::string>(tokens.begin(), tokens.end());
}

}  // namespace

bool IsIperfSize(std::string_view text) {
    if (text.size() > kMaxValueLength) {
        return false;
    }
    size_t pos = CountDigits(text, 0);
    if (pos == 0) {
        return false;
    }
    if (pos < text.size() && text[pos] == '.') {
        const size_t fraction = CountDigits(text, pos + 1);
        if (fraction == 0) {
            return false;
        }
        pos += 1 + fraction;
    }
    if (pos < text.size() && std::string_view("kmgKMG").find(text[pos]) != std::string_view::npos) {
        ++pos;
    }
    return pos == text.size();
}

std::optional<std::vector<std::string>> ValidateClientCommand(std::string_view line) {
    const Tokens tokens = SplitTokens(line);
    std::set<std::string_view> seen;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const std::string_view option = tokens[i];
        if (!seen.insert(option).second) {
            return std::nullopt;  // each option at most once
        }
        if (option == "-u") {
            continue;
        }
        if (!TakesValue(option) || i + 1 >= tokens.size() || !ValueIsValid(option, tokens[i + 1])) {
            return std::nullopt;
        }
        ++i;
    }
    if (seen.count("-c") == 0) {
        return std::nullopt;
    }
    return ToStrings(tokens);
}

std::optional<std::vector<std::string>> ValidateServerOptions(std::string_view options) {
    const Tokens udp = {"-s", "-u", "-f", "m", "-i", "1"};
    const Tokens tcp = {"-s", "-f", "m", "-i", "1"};
    const Tokens tokens = SplitTokens(options);
    if (tokens == udp || tokens == tcp) {
        return ToStrings(tokens);
    }
    const bool tcpWithWindow = tokens.size() == tcp.size() + 2 &&
                               std::equal(tcp.begin(), tcp.end(), tokens.begin()) &&
                               tokens[tcp.size()] == "-w" && IsIperfSize(tokens.back());
    if (tcpWithWindow) {
        return ToStrings(tokens);
    }
    return std::nullopt;
}

}  // namespace quarn::protocol
