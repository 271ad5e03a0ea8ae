#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "console/core/console_data.h"
#include "console/core/shared_bottleneck.h"

namespace quarn::console::records {

// One line naming a run: when it was measured, how many pairs, the settings. It heads the
// chart's PNG export and the report.
std::string RunTitle(const ConsoleData& data);

// Text made safe inside HTML elements and quoted attributes. Names come from the network.
std::string HtmlEscape(std::string_view text);
std::string Base64(std::string_view bytes);

// One chart of the report: its measure's title and PNG bytes; without a picture `note`
// says why there is none.
struct ReportChart {
    std::string title;  // "Throughput", "Latency", "Loss"
    std::string png;
    std::string note;
};

// A report of the run that stands on its own: settings, every pair's addresses and names,
// the table with units and quality figures, and `chartPng` (PNG bytes; none when empty)
// embedded as a data URI, so that nothing outside the file is ever fetched.
// `createdAt` is the time the report was made, as shown to people.
std::string BuildRunReport(const ConsoleData& data, std::string_view chartPng,
                           const std::string& createdAt);
// The same, opened by the sign-off page of a judged run under the operator's `title`.
std::string BuildRunReport(const ConsoleData& data, std::string_view chartPng,
                           const std::string& createdAt, const std::string& title);
// The same with a chart for each measure, in the order given.
std::string BuildRunReport(const ConsoleData& data, const std::vector<ReportChart>& charts,
                           const std::string& createdAt, const std::string& title);
// The same with sections of the run's own (HTML) after the tables, before the charts.
std::string BuildRunReport(const ConsoleData& data, const std::vector<ReportChart>& charts,
                           const std::string& createdAt, const std::string& title,
                           const std::string& moreSections);
// An isolation run's section: each pair alone and together, and who shares what.
std::string IsolationSection(const IsolationResult& isolation);

// The sections of a run's report below its title: settings, pairs, traffic, any more
// sections (an isolation run's) and charts; a plan's report has them once per step.
std::string RunReportSections(const ConsoleData& data, const std::vector<ReportChart>& charts,
                              const std::string& moreSections = std::string());
// The report's style sheet, inside <style>.
std::string ReportStyle();

}  // namespace quarn::console::records
