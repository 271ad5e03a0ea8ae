#include "console/records/run_report.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <optional>

#include "console/core/number_text.h"
#include "console/records/record_source.h"
#include "console/records/report_signoff.h"

namespace quarn::console::records {
namespace {

std::string Settings(const MeasurementSettings& settings) {
    if ((settings.protocol == Protocol::Udp))
        return "UDP " + settings.throughputText + " Mbit/s, " + settings.durationText + " s";
    return "TCP window " + settings.windowSizeText + " MByte, " + settings.durationText + " s";
}

std::string Figure(const std::optional<double>& value) {
    if (!value)
        return "\u2013";  // no figure is a dash, never 0
    return FixedText(*value, 2);
}

std::string Cell(std::string_view text, const char* tag = "td") {
    return std::string("<") + tag + ">" + HtmlEscape(text) + "</" + tag + ">";
}

std::string Row(std::initializer_list<std::string> cells, const char* tag = "td") {
    std::string row = "<tr>";
    for (const std::string& cell : cells)
        row += Cell(cell, tag);
    return row + "</tr>\n";
}

std::string SettingsTable(const ConsoleData& data) {
    const MeasurementSettings& s = data.settings;
    std::string html = "<h2>Settings</h2>\n<table class=\"settings\">\n";
    html += Row({"Protocol", (s.protocol == Protocol::Udp) ? "UDP" : "TCP"});
    if ((s.protocol == Protocol::Udp))
        html += Row({"Throughput (Mbit/s)", s.throughputText});
    else
        html += Row({"TCP window (MByte)", s.windowSizeText});
    html += Row({"Duration (s)", s.durationText});
    html += Row({"Seconds counted", std::to_string(data.ticks)});
    return html + "</table>\n";
}

std::string PairRow(const ConsoleData& data, const PairRecord& pair) {
    const PairQuality& q = pair.figures.quality;
    return Row({pair.name, pair.config.endpoint1, data.NameOf(pair.config.endpoint1),
                pair.config.endpoint2, data.NameOf(pair.config.endpoint2),
                std::to_string(pair.config.parallel),
                pair.config.active ? pair.figures.statusText : "Inactive", pair.figures.countText,
                pair.figures.currentText, pair.figures.averageText, pair.figures.minText,
                pair.figures.maxText, Figure(q.lossPercent), Figure(q.jitterAverageMs),
                Figure(q.rttIdleMs), Figure(q.rttLoadedMedianMs), Figure(q.rttLoadedP95Ms)});
}

std::string PairsTable(const ConsoleData& data) {
    // Wide tables scroll within the page rather than run off its edge.
    std::string html = "<h2>Pairs</h2>\n<div class=\"wide\"><table class=\"pairs\">\n<thead>";
    html += Row(
        {"Pair", "End Point 1", "Name 1", "End Point 2", "Name 2", "Streams", "State", "Seconds",
         "Current (Mbit/s)", "Average (Mbit/s)", "Minimum (Mbit/s)", "Maximum (Mbit/s)", "Loss (%)",
         "Jitter (ms)", "RTT idle (ms)", "RTT loaded median (ms)", "RTT loaded p95 (ms)"},
        "th");
    html += "</thead>\n<tbody>\n";
    for (const PairRecord& pair : data.table.Pairs())
        html += PairRow(data, pair);
    const PairRecord& all = data.table.All();
    html += "</tbody>\n<tfoot>";
    html += Row({"All", "", "", "", "", "", "", all.figures.countText, all.figures.currentText,
                 all.figures.averageText, all.figures.minText, all.figures.maxText,
                 Figure(all.figures.quality.lossPercent), "", "", "", ""});
    return html + "</tfoot>\n</table></div>\n";
}

std::string OptionCell(const std::optional<int>& value) {
    return value ? std::to_string(*value) : "-";
}

// Only pairs that carry an option; a run without any has no such section.
std::string TrafficTable(const ConsoleData& data) {
    std::string rows;
    for (const PairRecord& pair : data.table.Pairs()) {
        const TrafficOptions& t = pair.config.traffic;
        if (t.Empty())
            continue;
        rows += Row({pair.name, t.dscp ? DscpText(*t.dscp) : "-",
                     t.dscp ? std::to_string(TosByte(*t.dscp)) : "-", OptionCell(t.length),
                     OptionCell(t.mss)});
    }
    if (rows.empty())
        return {};
    return "<h2>Traffic options</h2>\n<table class=\"traffic\">\n<thead>" +
           Row({"Pair", "DSCP", "TOS byte", "Length (bytes)", "MSS (bytes)"}, "th") +
           "</thead>\n<tbody>\n" + rows + "</tbody>\n</table>\n";
}

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:1.5em;color:#222}"
    "table{border-collapse:collapse;margin-bottom:1em}"
    "th,td{border:1px solid #bbb;padding:.25em .5em;text-align:right}"
    "th{background:#eee}td:nth-child(-n+5),th:nth-child(-n+5){text-align:left}"
    "table.settings td:first-child{text-align:left}"
    "tfoot td{font-weight:bold}img{max-width:100%;border:1px solid #bbb}"
    ".wide{max-width:100%;overflow-x:auto}table.pairs{font-size:.9em}"
    "@media print{.wide{overflow:visible}table.pairs{font-size:7pt}"
    "figure{break-inside:avoid}}figure{margin:0 0 1em 0}";

std::string ChartsSection(const std::vector<ReportChart>& charts) {
    std::string html = "<h2>Charts</h2>\n";
    if (charts.empty())
        return html + "<p>No chart in this report.</p>\n";
    for (const ReportChart& chart : charts) {
        const std::string title = HtmlEscape(chart.title);
        html += "<figure>\n<h3>" + title + "</h3>\n";
        if (chart.png.empty())
            html += "<p>" + HtmlEscape(chart.note.empty() ? "No chart." : chart.note) + "</p>\n";
        else
            html += "<img alt=\"" + title + " chart\" src=\"data:image/png;base64," +
                    Base64(chart.png) + "\">\n";
        html += "</figure>\n";
    }
    return html;
}

}  // namespace

std::string RunTitle(const ConsoleData& data) {
    const int pairs = data.table.PairCount();
    const std::string when = data.measuredAt.empty() ? "Not measured" : data.measuredAt;
    return when + ", " + std::to_string(pairs) + (pairs == 1 ? " pair, " : " pairs, ") +
           Settings(data.settings);
}

std::string HtmlEscape(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&#39;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        unsigned value = 0;
        for (std::size_t k = 0; k < 3; ++k)
            value = value << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            text += k <= n ? kDigits[value >> (18 - 6 * k) & 63] : '=';
    }
    return text;
}

std::string BuildRunReport(const ConsoleData& data, std::string_view chartPng,
                           const std::string& createdAt) {
    return BuildRunReport(data, chartPng, createdAt, std::string());
}

std::string BuildRunReport(const ConsoleData& data, std::string_view chartPng,
                           const std::string& createdAt, const std::string& operatorTitle) {
    std::vector<ReportChart> charts;
    if (!chartPng.empty())
        charts.push_back({"Throughput", std::string(chartPng), {}});
    return BuildRunReport(data, charts, createdAt, operatorTitle);
}

std::string BuildRunReport(const ConsoleData& data, const std::vector<ReportChart>& charts,
                           const std::string& createdAt, const std::string& operatorTitle) {
    return BuildRunReport(data, charts, createdAt, operatorTitle, std::string());
}

std::string IsolationSection(const IsolationResult& isolation) {
    std::string html = "<h2>Isolation</h2>\n<p>Each pair alone for " +
                       std::to_string(isolation.phase.count()) +
                       " s, then all together; averages in Mbit/s.</p>\n<table class=\"pairs\">\n";
    html += Row({"Pair", "Route", "Alone", "Together"}, "th");
    for (const IsolationFigure& pair : isolation.pairs)
        html += Row({"Pair" + std::to_string(pair.number), pair.route, FixedText(pair.aloneMbps, 2),
                     FixedText(pair.togetherMbps, 2)});
    html += "</table>\n";
    if (isolation.shared.empty())
        return html + "<p>No pairs share a bottleneck.</p>\n";
    for (const SharedBottleneck& group : isolation.shared)
        html += "<p class=\"shared\">" + HtmlEscape(DescribeBottleneck(group)) + "</p>\n";
    return html;
}

std::string BuildRunReport(const ConsoleData& data, const std::vector<ReportChart>& charts,
                           const std::string& createdAt, const std::string& operatorTitle,
                           const std::string& moreSections) {
    const std::string title = RunTitle(data);
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    html += "<title>Quarn report: " + HtmlEscape(title) + "</title>\n";
    html += "<style>" + ReportStyle() + "</style>\n</head>\n<body>\n";
    html += SignOffSection(data, operatorTitle, createdAt);
    html += "<h1>Quarn measurement report</h1>\n";
    html += "<p class=\"title\">" + HtmlEscape(title) + "</p>\n";
    html += "<p class=\"created\">Report made " + HtmlEscape(createdAt) + "</p>\n";
    html += RunReportSections(data, charts, moreSections);
    return html + "</body>\n</html>\n";
}

std::string RunReportSections(const ConsoleData& data, const std::vector<ReportChart>& charts,
                              const std::string& moreSections) {
    return SettingsTable(data) + PairsTable(data) + TrafficTable(data) + moreSections +
           ChartsSection(charts);
}

std::string ReportStyle() {
    return std::string(kStyle) + kSignOffStyle;
}

}  // namespace quarn::console::records
