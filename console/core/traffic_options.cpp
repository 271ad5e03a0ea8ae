#include "console/core/traffic_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "console/core/pair_record.h"

namespace quarn::console {
namespace {

constexpr int kExpedited = 46;

std::string Upper(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper;
}

// AFxy: class x 1..4, drop precedence y 1..3, DSCP 8x + 2y.
std::optional<int> AssuredForwarding(std::string_view name) {
    if (name.size() != 4 || !name.starts_with("AF"))
        return std::nullopt;
    const int klass = name[2] - '0';
    const int drop = name[3] - '0';
    if (klass < 1 || klass > 4 || drop < 1 || drop > 3)
        return std::nullopt;
    return klass * 8 + drop * 2;
}

}  // namespace

std::optional<int> ParseWholeIn(std::string_view text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || text.front() == '-' || ec != std::errc() || ptr != end || value < low ||
        value > high)
        return std::nullopt;
    return value;
}

std::optional<int> ParseDscp(std::string_view text) {
    const std::string name = Upper(text);
    if (name == "EF")
        return kExpedited;
    if (name.size() == 3 && name.starts_with("CS") && name[2] >= '0' && name[2] <= '7')
        return (name[2] - '0') * 8;
    if (const std::optional<int> af = AssuredForwarding(name))
        return af;
    return ParseWholeIn(text, 0, kMaxDscp);
}

std::string DscpText(int dscp) {
    if (dscp == kExpedited)
        return "EF";
    if (dscp % 8 == 0)
        return "CS" + std::to_string(dscp / 8);
    const int klass = dscp / 8;
    const int drop = (dscp % 8) / 2;
    if (dscp % 2 == 0 && klass >= 1 && klass <= 4 && drop >= 1 && drop <= 3)
        return "AF" + std::to_string(klass) + std::to_string(drop);
    return std::to_string(dscp);
}

std::string TrafficRefusal(const TrafficOptions& options, Protocol protocol) {
    if (!options.length)
        return {};
    if (protocol == Protocol::Udp &&
        (*options.length < kMinUdpLength || *options.length > kMaxUdpLength))
        return "A UDP datagram size can be set from 20 to 65507 bytes.";
    if (protocol == Protocol::Tcp && (*options.length < 1 || *options.length > kMaxTcpLength))
        return "A TCP write size can be set from 1 to 1048576 bytes.";
    return {};
}

std::vector<TrafficOption> NeededByEndPoint1(const TrafficOptions& options, Protocol protocol) {
    std::vector<TrafficOption> needed;
    if (options.dscp)
        needed.push_back(TrafficOption::Dscp);
    if (options.length)
        needed.push_back(TrafficOption::Length);
    if (options.mss && protocol == Protocol::Tcp)
        needed.push_back(TrafficOption::Mss);
    return needed;
}

std::vector<TrafficOption> NeededByEndPoint2(const TrafficOptions& options, Protocol protocol) {
    if (protocol == Protocol::Udp && options.length && *options.length > kServerUdpLength)
        return {TrafficOption::Length};
    return {};
}

std::string_view OptionName(TrafficOption option) {
    switch (option) {
        case TrafficOption::Dscp:
            return "DSCP marking";
        case TrafficOption::Length:
            return "a datagram or write size";
        case TrafficOption::Mss:
            return "an MSS";
    }
    return "an option";
}

std::string DescribeTraffic(const TrafficOptions& options) {
    std::vector<std::string> parts;
    if (options.dscp)
        parts.push_back("DSCP " + DscpText(*options.dscp));
    if (options.length)
        parts.push_back("length " + std::to_string(*options.length) + " bytes");
    if (options.mss)
        parts.push_back("MSS " + std::to_string(*options.mss) + " bytes");
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text;
}

}  // namespace quarn::console
