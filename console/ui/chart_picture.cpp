#include "console/ui/chart_picture.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QPainter>
#include <QWidget>

#include "console/core/local_time.h"
#include "console/files/atomic_file_writer.h"
#include "console/records/run_report.h"
#include "console/ui/chart_widget.h"
#include "widgets/text.h"

namespace quarn::console::ui {

QImage ChartPicture(QWidget& chart, const ConsoleData& data) {
    const QPixmap drawn = chart.grab();
    QFont font = chart.font();
    font.setBold(true);
    const int titleHeight = QFontMetrics(font).height() + 8;
    QImage picture(drawn.width(), drawn.height() + titleHeight, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(6, 0, drawn.width() - 12, titleHeight), Qt::AlignVCenter | Qt::AlignLeft,
                     widgets::FromUtf8(records::RunTitle(data)));
    painter.drawPixmap(0, titleHeight, drawn);
    return picture;
}

std::vector<records::ReportChart> ReportCharts(ChartWidget& chart, const ConsoleData& data) {
    const ChartMeasure shown = chart.Measure();
    QWidget* tabs = chart.MeasureTabs();
    const bool tabsHidden = tabs->isHidden();
    tabs->hide();  // a picture on paper has nothing to click
    std::vector<records::ReportChart> charts;
    for (const ChartMeasure measure :
         {ChartMeasure::Throughput, ChartMeasure::Latency, ChartMeasure::Loss}) {
        const char* title = ChartWidget::kMeasureTitles[static_cast<std::size_t>(measure)];
        if (measure == ChartMeasure::Loss && data.settings.protocol != Protocol::Udp) {
            charts.push_back({title, {}, "TCP runs measure no loss."});
            continue;
        }
        chart.SetMeasure(measure);
        charts.push_back({title, PngBytes(ChartPicture(chart, data)), {}});
    }
    chart.SetMeasure(shown);
    tabs->setHidden(tabsHidden);
    return charts;
}

std::vector<records::ReportChart> OffscreenReportCharts(const ConsoleData& data, QSize size) {
    ChartWidget chart(data.chart);
    chart.SetPairTable(&data.table);
    chart.SetHighlight(&data.highlighted);
    chart.resize(size);
    return ReportCharts(chart, data);
}

std::string PngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return {};
    return bytes.toStdString();
}

bool WriteRunReport(const std::string& path, const ConsoleData& data,
                    const std::vector<records::ReportChart>& charts, const std::string& title) {
    const std::string html = records::BuildRunReport(
        data, charts, FormatMeasuredAt(std::chrono::system_clock::now()), title);
    AtomicFileWriter file(path);
    return file.Open() && file.Write(html) && file.Commit();
}

}  // namespace quarn::console::ui
