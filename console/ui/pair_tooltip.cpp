#include "console/ui/pair_tooltip.h"

#include <cmath>
#include <optional>

#include "console/core/number_text.h"
#include "console/core/pair_record.h"

namespace quarn::console::ui {

namespace {

// "<value><unit>" or the dash; a figure that is not a finite number is no figure either.
std::string Figure(const std::optional<double>& value, int decimals, const char* unit) {
    if (!value || !std::isfinite(*value)) {
        return kNoFigureText;
    }
    return FixedText(*value, decimals) + unit;
}

std::string Signed(const std::optional<double>& value) {
    if (!value || !std::isfinite(*value)) {
        return kNoFigureText;
    }
    return (*value >= 0.0 ? "+" : "") + FixedText(*value, 2) + " ms";
}

// A queue can only add: a loaded median below the idle round trip is the probes' own
// scatter, not a link that got faster under load.
bool WithinNoise(const std::optional<double>& increase) {
    return increase && std::isfinite(*increase) && *increase < 0.0;
}

std::string IncreaseText(const std::optional<double>& increase) {
    return WithinNoise(increase) ? "none within the measurement's noise" : Signed(increase);
}

std::string JitterText(const PairQuality& q) {
    if (!q.jitterAverageMs) {
        return kNoFigureText;
    }
    return Figure(q.jitterAverageMs, 3, " ms") + " average, " + Figure(q.jitterMaxMs, 3, " ms") +
           " max";
}

std::string LoadedText(const PairQuality& q) {
    if (!q.rttLoadedMedianMs) {
        return kNoFigureText;
    }
    return Figure(q.rttLoadedMedianMs, 2, " ms") + " median, " +
           Figure(q.rttLoadedP95Ms, 2, " ms") + " 95th percentile";
}

}  // namespace

bool ShowsUdpFigures(const PairRecord& pair) {
    return pair.run.protocol == Protocol::Udp || pair.figures.quality.lossPercent.has_value();
}

std::vector<std::string> PairFigureLines(const PairQuality& q, bool udp) {
    std::vector<std::string> lines;
    if (udp) {
        std::string loss = "Loss: " + Figure(q.lossPercent, 2, " %");
        if (q.lossPercent) {
            loss += " (" + std::to_string(q.lostDatagrams) + " of " +
                    std::to_string(q.totalDatagrams) + " datagrams)";
        }
        lines.push_back(std::move(loss));
        lines.push_back("Jitter: " + JitterText(q));
    }
    lines.push_back("RTT idle: " + Figure(q.rttIdleMs, 2, " ms"));
    lines.push_back("RTT load: " + LoadedText(q));
    lines.push_back("RTT increase: " + IncreaseText(q.RttIncreaseMs()));
    if (q.probesLost > 0) {
        lines.push_back("Probes lost: " + std::to_string(q.probesLost));
    }
    return lines;
}

std::string PairTooltipText(const PairRecord& pair) {
    std::string text;
    for (const std::string& line : PairFigureLines(pair.figures.quality, ShowsUdpFigures(pair))) {
        if (!text.empty()) {
            text += '\n';
        }
        text += line;
    }
    return text;
}

std::string PairFiguresSummary(const PairQuality& q, bool udp) {
    std::string text;
    if (udp) {
        text += "Loss " + Figure(q.lossPercent, 2, " %") + "   Jitter " +
                Figure(q.jitterAverageMs, 3, " ms") + "   ";
    }
    text += "RTT idle " + Figure(q.rttIdleMs, 2, " ms") + "   RTT load " +
            Figure(q.rttLoadedMedianMs, 2, " ms");
    if (const std::optional<double> increase = q.RttIncreaseMs()) {
        text +=
            " (" + (WithinNoise(increase) ? std::string("no increase") : Signed(increase)) + ")";
    }
    return text;
}

}  // namespace quarn::console::ui
