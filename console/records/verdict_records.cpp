#include "console/records/verdict_records.h"

#include "console/records/json_text.h"

namespace quarn::console::records {

std::string EncodePassLines(const PassLines& lines) {
    JsonObject o;
    if (lines.minThroughput) {
        o.Number(
            lines.minThroughput->percentOfExpected ? "min_percent_of_expected" : "min_mbit_per_s",
            lines.minThroughput->value);
    }
    const auto number = [&o](std::string_view key, const std::optional<double>& value) {
        if (value)
            o.Number(key, *value);
    };
    number("max_loss_percent", lines.maxLossPercent);
    number("max_jitter_ms", lines.maxJitterMs);
    number("max_rtt_rise_ms", lines.maxRttRiseMs);
    number("max_baseline_drop_percent", lines.maxBaselineDropPercent);
    return o.Text();
}

std::string EncodeLinkFacts(const LinkFacts& link) {
    JsonObject o;
    o.String("interface", link.interfaceName);
    if (link.speedMbps)
        o.Integer("speed_mbit_per_s", *link.speedMbps);
    if (link.fullDuplex)
        o.String("duplex", *link.fullDuplex ? "full" : "half");
    if (link.mtu)
        o.Integer("mtu", *link.mtu);
    o.Bool("wireless", link.wireless);
    return o.Text();
}

std::string EncodeStrings(const std::vector<std::string>& texts) {
    std::string out = "[";
    for (const std::string& text : texts) {
        if (out.size() > 1)
            out += ',';
        AppendJsonString(out, text);
    }
    return out + "]";
}

}  // namespace quarn::console::records
