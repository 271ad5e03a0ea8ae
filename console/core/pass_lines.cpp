#include "console/core/pass_lines.h"

#include <charconv>
#include <cmath>

#include "console/core/link_facts.h"
#include "console/core/number_text.h"

namespace quarn::console {
namespace {

constexpr double kMaxPercent = 100.0;
constexpr double kMaxFigure = 1e9;

std::string Number(double value) {
    // Two decimals keep what an operator types; a line is no finer than the shown figures.
    return FixedText(value, 2);
}

}  // namespace

PassLines EffectiveLines(const PassLines& run, const PassLines& pair) {
    PassLines lines = run;
    if (pair.minThroughput)
        lines.minThroughput = pair.minThroughput;
    if (pair.maxLossPercent)
        lines.maxLossPercent = pair.maxLossPercent;
    if (pair.maxJitterMs)
        lines.maxJitterMs = pair.maxJitterMs;
    if (pair.maxRttRiseMs)
        lines.maxRttRiseMs = pair.maxRttRiseMs;
    if (pair.maxBaselineDropPercent)
        lines.maxBaselineDropPercent = pair.maxBaselineDropPercent;
    return lines;
}

std::optional<double> ParseLineNumber(const std::string& text, double maximum) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value) || value < 0.0 ||
        value > maximum) {
        return std::nullopt;
    }
    return value;
}

std::optional<ThroughputLine> ParseThroughputLine(const std::string& text) {
    const bool percent = !text.empty() && text.back() == '%';
    const auto value = ParseLineNumber(percent ? text.substr(0, text.size() - 1) : text,
                                       percent ? kMaxPercent : kMaxFigure);
    if (!value)
        return std::nullopt;
    return ThroughputLine{*value, percent};
}

std::string ThroughputLineText(const ThroughputLine& line) {
    return Number(line.value) + (line.percentOfExpected ? "%" : "");
}

PassLineTexts TextsOf(const PassLines& lines) {
    PassLineTexts texts;
    if (lines.minThroughput)
        texts.minThroughput = ThroughputLineText(*lines.minThroughput);
    const auto text = [](const std::optional<double>& value) {
        return value ? Number(*value) : std::string();
    };
    texts.maxLoss = text(lines.maxLossPercent);
    texts.maxJitter = text(lines.maxJitterMs);
    texts.maxRttRise = text(lines.maxRttRiseMs);
    texts.maxBaselineDrop = text(lines.maxBaselineDropPercent);
    return texts;
}

namespace {

std::string Trimmed(const std::string& text) {
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos)
        return {};
    return text.substr(start, text.find_last_not_of(" \t") - start + 1);
}

}  // namespace

std::optional<PassLines> ParsePassLineTexts(const PassLineTexts& texts, std::string& refusal) {
    PassLines lines;
    if (const std::string min = Trimmed(texts.minThroughput); !min.empty()) {
        lines.minThroughput = ParseThroughputLine(min);
        if (!lines.minThroughput) {
            refusal = "Minimum: Mbit/s or a %, such as 250 or 90%";
            return std::nullopt;
        }
    }
    struct Field {
        const std::string& text;
        double maximum;
        std::optional<double>& line;
        const char* refusal;
    };
    const Field fields[] = {
        {texts.maxLoss, kMaxPercent, lines.maxLossPercent, "Loss: a % from 0 to 100"},
        {texts.maxJitter, kMaxFigure, lines.maxJitterMs, "Jitter: milliseconds"},
        {texts.maxRttRise, kMaxFigure, lines.maxRttRiseMs, "RTT rise: milliseconds"},
        {texts.maxBaselineDrop, kMaxPercent, lines.maxBaselineDropPercent,
         "Baseline drop: a % from 0 to 100"},
    };
    for (const Field& field : fields) {
        const std::string text = Trimmed(field.text);
        if (text.empty())
            continue;
        field.line = ParseLineNumber(text, field.maximum);
        if (!field.line) {
            refusal = field.refusal;
            return std::nullopt;
        }
    }
    return lines;
}

std::vector<std::string> DescribePassLines(const PassLines& lines) {
    std::vector<std::string> texts;
    if (lines.minThroughput) {
        texts.push_back(
            "Minimum throughput " +
            (lines.minThroughput->percentOfExpected
                 ? FixedText(lines.minThroughput->value, 1) + " % of the expected goodput"
                 : Number(lines.minThroughput->value) + " Mbit/s"));
    }
    const auto add = [&](const char* what, const std::optional<double>& value, const char* unit) {
        if (value)
            texts.push_back(std::string(what) + " " + Number(*value) + unit);
    };
    add("Maximum UDP loss", lines.maxLossPercent, " %");
    add("Maximum jitter", lines.maxJitterMs, " ms");
    add("Maximum rise of the loaded round trip over the idle one", lines.maxRttRiseMs, " ms");
    add("Maximum drop below the baseline", lines.maxBaselineDropPercent, " %");
    return texts;
}

std::vector<std::string> PassLineTokens(const PassLines& lines) {
    std::vector<std::string> tokens;
    if (lines.minThroughput)
        tokens.push_back("min=" + ThroughputLineText(*lines.minThroughput));
    const auto add = [&](const char* key, const std::optional<double>& value) {
        if (value)
            tokens.push_back(std::string(key) + "=" + Number(*value));
    };
    add("loss", lines.maxLossPercent);
    add("jitter", lines.maxJitterMs);
    add("rise", lines.maxRttRiseMs);
    add("drop", lines.maxBaselineDropPercent);
    return tokens;
}

void ApplyPassLineToken(const std::string& token, PassLines& lines) {
    const std::size_t eq = token.find('=');
    if (eq == std::string::npos)
        return;
    const std::string key = token.substr(0, eq);
    const std::string value = token.substr(eq + 1);
    if (key == "min") {
        lines.minThroughput = ParseThroughputLine(value);
    } else if (key == "loss") {
        lines.maxLossPercent = ParseLineNumber(value, kMaxPercent);
    } else if (key == "jitter") {
        lines.maxJitterMs = ParseLineNumber(value, kMaxFigure);
    } else if (key == "rise") {
        lines.maxRttRiseMs = ParseLineNumber(value, kMaxFigure);
    } else if (key == "drop") {
        lines.maxBaselineDropPercent = ParseLineNumber(value, kMaxPercent);
    }
}

}  // namespace quarn::console
