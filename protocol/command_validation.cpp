#include "protocol/command_validation.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <set>

#include "address/ipv4.h"
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

// A DSCP in the TOS byte's upper six bits; the ECN bits stay the kernel's.
bool IsTosByte(std::string_view text) {
    long value = 0;
    return IsNumberIn(text, 0, kMaxTosByte) &&
           std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc() &&
           value % 4 == 0;
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
        if (const std::optional<uint32_t> address = ParseIpv4(value)) {
            return IsRoutableTarget(*address);
        }
        const auto bytes = ParseIpv6(value);
        return bytes && IsRoutableTarget6(IpAddress::V6(*bytes));
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
    if (option == "-S") {
        return IsTosByte(value);
    }
    if (option == "-l") {
        return IsNumberIn(value, 1, kMaxTcpLength);  // the protocol's bounds come later
    }
    if (option == "-M") {
        return IsNumberIn(value, kMinMss, kMaxMss);
    }
    return option == "-f" && value == "m";
}

bool TakesValue(std::string_view option) {
    static const std::set<std::string_view> kOptions = {"-c", "-i", "-t", "-P", "-b",
                                                        "-w", "-f", "-S", "-l", "-M"};
    return kOptions.count(option) > 0;
}

using Tokens = std::vector<std::string_view>;
using Options = std::map<std::string_view, std::string_view>;

// UDP is one stream at a bounded rate; TCP has no rate. The Console never mixes them.
bool CombinationIsValid(const Options& options) {
    const auto has = [&](std::string_view option) { return options.count(option) > 0; };
    if (!has("-u")) {
        return !has("-b");
    }
    if (has("-w") || has("-M") || (has("-P") && options.at("-P") != "1")) {
        return false;
    }
    if (has("-l") && !IsNumberIn(options.at("-l"), kMinUdpLength, kMaxUdpLength)) {
        return false;
    }
    if (!has("-b")) {
        return true;
    }
    const std::optional<double> rate = LargestRateBitsPerSecond(options.at("-b"));
    return rate && *rate > 0 && *rate <= kMaxUdpRateBitsPerSecond;
}

std::vector<std::string> ToStrings(const Tokens& tokens) {
    return std::vector<std::string>(tokens.begin(), tokens.end());
}

}  // namespace

bool IsRoutableTarget(uint32_t address) {
    const uint32_t first = address >> 24;
    return first != 0 && first < 224;
}

bool IsRoutableTarget6(const IpAddress& address) {
    return address.IsV6() && !address.IsLinkLocal() && !address.IsMulticast() &&
           !address.IsV4Mapped() && address != IpAddress::V6({});
}

bool IsLoopback(uint32_t address) {
    return address >> 24 == 127;
}

std::optional<double> LargestRateBitsPerSecond(std::string_view size) {
    if (!IsIperfSize(size)) {
        return std::nullopt;
    }
    double value = 0;
    const char* end = size.data() + size.size();
    const auto parsed = std::from_chars(size.data(), end, value, std::chars_format::fixed);
    if (parsed.ec != std::errc()) {
        return std::nullopt;
    }
    if (parsed.ptr == end) {
        return value;  // bits per second
    }
    const char suffix = *parsed.ptr;
    const bool bytes = suffix >= 'A' && suffix <= 'Z';
    const size_t power = std::string_view("kmg").find(static_cast<char>(suffix | 0x20)) + 1;
    double rate = value * (bytes ? 8.0 : 1.0);
    for (size_t i = 0; i < power; ++i) {
        rate *= bytes ? 1024.0 : 1000.0;
    }
    return rate;
}

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
    Options seen;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const std::string_view option = tokens[i];
        if (seen.count(option) > 0) {
            return std::nullopt;  // each option at most once
        }
        if (option == "-u") {
            seen.emplace(option, "");
            continue;
        }
        if (!TakesValue(option) || i + 1 >= tokens.size() || !ValueIsValid(option, tokens[i + 1])) {
            return std::nullopt;
        }
        seen.emplace(option, tokens[i + 1]);
        ++i;
    }
    if (seen.count("-c") == 0 || !CombinationIsValid(seen)) {
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
    const bool udpWithLength =
        tokens.size() == udp.size() + 2 && std::equal(udp.begin(), udp.end(), tokens.begin()) &&
        tokens[udp.size()] == "-l" && IsNumberIn(tokens.back(), kMinUdpLength, kMaxUdpLength);
    if (tcpWithWindow || udpWithLength) {
        return ToStrings(tokens);
    }
    return std::nullopt;
}

}  // namespace quarn::protocol
