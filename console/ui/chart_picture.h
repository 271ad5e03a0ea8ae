#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <string>

#include "console/core/console_data.h"
#include "console/records/run_report.h"

class QWidget;

namespace quarn::console::ui {

// The chart as it is exported: a title line (date, pair count, settings) above the chart
// as drawn, so that a picture passed around still says what it shows.
QImage ChartPicture(QWidget& chart, const ConsoleData& data);

class ChartWidget;

// The report's charts: throughput, round trips and (UDP runs) loss, each titled and drawn
// by `chart` without its measure selector; the chart is left showing what it showed.
std::vector<records::ReportChart> ReportCharts(ChartWidget& chart, const ConsoleData& data);
// The same drawn without a window at `size` (a QApplication must exist).
std::vector<records::ReportChart> OffscreenReportCharts(const ConsoleData& data,
                                                        QSize size = QSize(960, 420));

// PNG bytes of an image; empty when it cannot be encoded.
std::string PngBytes(const QImage& image);

// The report of the run (records::BuildRunReport) with `charts` embedded and `title` on its
// sign-off page, written in one go to `path`; false when it cannot be written.
bool WriteRunReport(const std::string& path, const ConsoleData& data,
                    const std::vector<records::ReportChart>& charts, const std::string& title = {});

}  // namespace quarn::console::ui
