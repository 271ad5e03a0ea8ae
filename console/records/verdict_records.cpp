#include "console/records/verdict_records.h"

#include <cmath>
#include <limits>

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

namespace {

std::optional<double> LineNumber(const JsonValue& object, std::string_view key, double maximum) {
    const std::optional<double> value = object.NumberAt(key);
    if (!value || !std::isfinite(*value) || *value < 0.0 || *value > maximum)
        return std::nullopt;
    return value;
}

std::optional<int> PositiveInt(const JsonValue& object, std::string_view key) {
    const std::optional<long long> value = object.IntegerAt(key);
    if (!value || *value <= 0 || *value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(*value);
}

}  // namespace

PassLines DecodePassLines(const JsonValue& object) {
    constexpr double kAny = std::numeric_limits<double>::max();
    PassLines lines;
    if (const auto mbps = LineNumber(object, "min_mbit_per_s", kAny))
        lines.minThroughput = ThroughputLine{*mbps, false};
    else if (const auto percent = LineNumber(object, "min_percent_of_expected", 100.0))
        lines.minThroughput = ThroughputLine{*percent, true};
    lines.maxLossPercent = LineNumber(object, "max_loss_percent", 100.0);
    lines.maxJitterMs = LineNumber(object, "max_jitter_ms", kAny);
    lines.maxRttRiseMs = LineNumber(object, "max_rtt_rise_ms", kAny);
    lines.maxBaselineDropPercent = LineNumber(object, "max_baseline_drop_percent", 100.0);
    return lines;
}

std::optional<LinkFacts> DecodeLinkFacts(const JsonValue& object) {
    if (!object.Is(JsonValue::Kind::Object))
        return std::nullopt;
    LinkFacts link;
    link.interfaceName = object.StringAt("interface").value_or("");
    link.speedMbps = PositiveInt(object, "speed_mbit_per_s");
    if (const auto duplex = object.StringAt("duplex"); duplex == "full" || duplex == "half")
        link.fullDuplex = *duplex == "full";
    link.mtu = PositiveInt(object, "mtu");
    link.wireless = object.BoolAt("wireless").value_or(false);
    return link;
}

std::vector<std::string> DecodeStrings(const JsonValue& array) {
    std::vector<std::string> texts;
    for (const JsonValue& item : array.items) {
        if (item.Is(JsonValue::Kind::String))
            texts.push_back(item.text);
    }
    return texts;
}

}  // namespace quarn::console::records
