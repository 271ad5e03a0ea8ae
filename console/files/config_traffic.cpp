#include "console/files/config_traffic.h"

namespace quarn::console {

std::string WithTrafficTokens(std::string tail, int qualityTokenCount,
                              const TrafficOptions& options) {
    if (options.Empty())
        return tail;
    if (tail.empty()) {
        for (int i = 0; i < qualityTokenCount; ++i)
            tail += " -";
    }
    if (options.dscp)
        tail += " dscp=" + std::to_string(*options.dscp);
    if (options.length)
        tail += " length=" + std::to_string(*options.length);
    if (options.mss)
        tail += " mss=" + std::to_string(*options.mss);
    return tail;
}

void ApplyTrafficFileToken(std::string_view token, TrafficOptions& options) {
    const std::size_t eq = token.find('=');
    if (eq == std::string_view::npos)
        return;
    const std::string_view key = token.substr(0, eq);
    const std::string_view value = token.substr(eq + 1);
    if (key == "dscp")
        options.dscp = ParseWholeIn(value, 0, kMaxDscp);
    else if (key == "length")
        options.length = ParseWholeIn(value, 1, kMaxTcpLength);
    else if (key == "mss")
        options.mss = ParseWholeIn(value, kMinMss, kMaxMss);
}

}  // namespace quarn::console
