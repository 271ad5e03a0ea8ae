#include "console/headless/terminal_view.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "console/core/number_text.h"
#include "console/headless/verdict_text.h"

namespace quarn::console {
namespace {

// Quality columns: loss and jitter for UDP only, RTT for both protocols.
// The All row has only the run's loss.
struct QualityColumn {
    const char* title;
    bool udpOnly;
    bool inAllRow;
    std::optional<double> (*value)(const PairQuality&);
};

constexpr QualityColumn kQualityColumns[] = {
    {"Loss%", true, true, [](const PairQuality& q) { return q.lossPercent; }},
    {"Jitter ms", true, false, [](const PairQuality& q) { return q.jitterAverageMs; }},
    {"RTT idle", false, false, [](const PairQuality& q) { return q.rttIdleMs; }},
    {"RTT load", false, false, [](const PairQuality& q) { return q.rttLoadedMedianMs; }},
};
constexpr int kQualityWidth = 10;
// No figure is a dash, never 0.
constexpr const char* kNoFigure = "\u2013";

// Right-aligned in `width` columns; the dash is one column wide but three bytes long.
std::string RightAligned(const std::string& text, int width) {
    const int columns = text == kNoFigure ? 1 : static_cast<int>(text.size());
    return std::string(static_cast<std::size_t>(std::max(width - columns, 0)), ' ') + text;
}

std::string QualityCells(const PairQuality& quality, bool udp, bool allRow) {
    std::string cells;
    for (const QualityColumn& column : kQualityColumns) {
        if (column.udpOnly && !udp) {
            continue;
        }
        std::string text;
        if (!allRow || column.inAllRow) {
            const std::optional<double> value = column.value(quality);
            text = value ? FixedText(*value, 2) : kNoFigure;
        }
        cells += " " + RightAligned(text, kQualityWidth);
    }
    return cells;
}

std::string QualityHeader(bool udp) {
    std::string cells;
    for (const QualityColumn& column : kQualityColumns) {
        if (!column.udpOnly || udp) {
            cells += " " + RightAligned(column.title, kQualityWidth);
        }
    }
    return cells;
}

std::string PairRow(const ConsoleData& data, const PairRecord& row, const std::string& ends,
                    bool udp, bool allRow) {
    char figures[160];
    std::snprintf(figures, sizeof figures, "%-9s %6s %10s %10s %10s %10s",
                  row.figures.statusText.c_str(), row.figures.countText.c_str(),
                  row.figures.currentText.c_str(), row.figures.averageText.c_str(),
                  row.figures.minText.c_str(), row.figures.maxText.c_str());
    return Padded(TerminalSafe(row.name), 7) + " " + Padded(ends, 36) + " " + figures +
           QualityCells(row.figures.quality, udp, allRow) + VerdictCell(data, row, allRow) + "\n";
}

}  // namespace

TerminalView::TerminalView(const ConsoleData& data, std::FILE* out, std::optional<bool> interactive)
    : data_(data), out_(out), interactive_(interactive.value_or(isatty(fileno(out)) != 0)) {}

void TerminalView::ShowNotice(NoticeKind kind, std::string_view text) {
    EndProgressLine();
    lastKind_ = kind;
    lastNotice_ = std::string(text);
    std::fprintf(out_, "%s\n", TerminalSafe(lastNotice_, true).c_str());
    std::fflush(out_);
}

void TerminalView::RecordsNoted(std::string_view note) {
    std::fprintf(notes_, "%.*s\n", static_cast<int>(note.size()), note.data());
}

void TerminalView::TickProcessed(int ticks, std::chrono::seconds runDuration) {
    const int duration = static_cast<int>(runDuration.count());
    const char* total = data_.table.All().figures.currentText.c_str();
    if (interactive_) {
        // Back to the line's start, then clear what a longer earlier line left behind.
        std::fprintf(out_, "\rtick %d of %d, total %s Mbit/s, %s left\033[K", ticks, duration,
                     total, FormatTimeLeft(duration - ticks).c_str());
    } else {
        std::fprintf(out_, "tick %d of %d, total %s Mbit/s\n", ticks, duration, total);
    }
    std::fflush(out_);
    progressOpen_ = interactive_;
    if (onTick)
        onTick(ticks);
}

void TerminalView::EndProgressLine() {
    if (progressOpen_)
        std::fputc('\n', out_);
    progressOpen_ = false;
}

std::string TerminalSafe(std::string_view text, bool keepNewlines) {
    constexpr char kHex[] = "0123456789ABCDEF";
    const auto escaped = [&](unsigned char c) {
        return std::string{'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    };
    std::string safe;
    safe.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c == '\n' && keepNewlines) {
            safe += '\n';
        } else if (c < 0x20 || c == 0x7F) {
            safe += escaped(c);
        } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            safe += escaped(next);  // U+0080 to U+009F in UTF-8
            ++i;
        } else {
            safe += static_cast<char>(c);
        }
    }
    return safe;
}

std::string Padded(std::string text, std::size_t width) {
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

std::string FormatTimeLeft(int seconds) {
    seconds = seconds < 0 ? 0 : seconds;
    char text[32];
    std::snprintf(text, sizeof text, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
    return text;
}

std::string PairEnds(const ConsoleData& data, const PairRecord& row) {
    const auto shown = [&](const std::string& address) {
        return TerminalSafe(row.config.showAddress ? address : data.DisplayName(address));
    };
    std::string ends = shown(row.config.endpoint1) + " -> " + shown(row.config.endpoint2);
    if (row.config.parallel > 1 && data.settings.protocol == Protocol::Tcp)
        ends += " x" + std::to_string(row.config.parallel);
    return ends;
}

std::string FormatPairTable(const ConsoleData& data) {
    char header[160];
    std::snprintf(header, sizeof header, "%-9s %6s %10s %10s %10s %10s", "State", "Count",
                  "Current", "Average", "Minimum", "Maximum");
    const bool udp = data.settings.protocol == Protocol::Udp;
    std::string text = Padded("Pair", 7) + " " + Padded("End Point 1 -> End Point 2", 36) + " " +
                       header + QualityHeader(udp) + VerdictHeaderCell(data) + "  (Mbit/s, ms)\n";
    const PairTable& table = data.table;
    for (int r = 1; r < table.Size(); ++r)
        text += PairRow(data, table[r], PairEnds(data, table[r]), udp, false);
    PairRecord all = table.All();
    all.figures.statusText = "";
    text += PairRow(data, all, "", udp, true);
    text += FormatTrafficLines(data);
    text += FormatFailureCauses(data);
    text += FormatVerdictReasons(data);
    return text;
}

std::string FormatTrafficLines(const ConsoleData& data) {
    std::string text;
    for (int r = 1; r < data.table.Size(); ++r) {
        const PairRecord& row = data.table[r];
        if (!row.config.traffic.Empty())
            text +=
                TerminalSafe(row.name) + " traffic: " + DescribeTraffic(row.config.traffic) + "\n";
    }
    return text;
}

std::string FormatFailureCauses(const ConsoleData& data) {
    std::string text;
    for (const PairRecord& row : data.table.Pairs()) {
        if (!row.run.failure || row.figures.state != PairState::Error) {
            continue;
        }
        const std::vector<std::string> lines = FailureLines(*row.run.failure);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string name = TerminalSafe(row.name);
            text += (i == 0 ? name + ": " : std::string(name.size() + 2, ' ')) +
                    TerminalSafe(lines[i]) + "\n";
        }
    }
    return text;
}

std::string FormatEndPointList(const ConsoleData& data) {
    if (data.endPoints.empty())
        return std::string(PairTable::kNoEndPointFound) + "\n";
    // What an EndPoint says of its link goes between address and name, in a column as wide
    // as the longest; the name stays last.
    std::size_t linkWidth = 0;
    for (const EndPointEntry& entry : data.endPoints)
        linkWidth = std::max(linkWidth, entry.link ? DescribeLink(*entry.link).size() : 0);
    std::string text;
    for (const EndPointEntry& entry : data.endPoints) {
        std::string line = Padded(TerminalSafe(entry.address), 16) + " ";
        if (linkWidth > 0)
            line +=
                Padded(entry.link ? TerminalSafe(DescribeLink(*entry.link)) : "", linkWidth) + "  ";
        line += TerminalSafe(entry.name) + (entry.unverified ? " (unverified)" : "");
        while (linkWidth > 0 && line.back() == ' ')
            line.pop_back();
        text += line + "\n";
    }
    return text;
}

}  // namespace quarn::console
