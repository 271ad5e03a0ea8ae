#include "console/ui/chart_measure_tabs.h"

#include <QMouseEvent>
#include <QPainter>

#include "widgets/fonts.h"

namespace quarn::console::ui {

namespace {

const QColor kUnderline(0xD0, 0xD0, 0xD0);
constexpr int kGap = 9;
constexpr int kTextHeight = 15;
constexpr int kHeight = kTextHeight + 3;  // the underline below the text

constexpr ChartMeasure kMeasures[] = {ChartMeasure::Throughput, ChartMeasure::Latency,
                                      ChartMeasure::Loss};

QString TitleOf(ChartMeasure measure) {
    return QString::fromLatin1(ChartMeasureTabs::kTitles[static_cast<std::size_t>(measure)]);
}

}  // namespace

ChartMeasureTabs::ChartMeasureTabs(QWidget* chart) : QWidget(chart) {
    setFont(widgets::GulimFont(12));
    setMouseTracking(true);  // a hand over the texts
    const QRect last = TabRect(ChartMeasure::Loss);
    resize(last.right() + 1, kHeight);
}

void ChartMeasureTabs::SetMeasure(ChartMeasure measure) {
    if (measure_ != measure) {
        measure_ = measure;
        update();
    }
}

QRect ChartMeasureTabs::TabRect(ChartMeasure measure) const {
    const QFontMetrics metrics(font());
    int x = 0;
    for (ChartMeasure m : kMeasures) {
        const int width = metrics.horizontalAdvance(TitleOf(m));
        if (m == measure) {
            return QRect(x, 0, width, kTextHeight);
        }
        x += width + kGap;
    }
    return {};
}

std::optional<ChartMeasure> ChartMeasureTabs::MeasureAt(QPoint at) const {
    for (ChartMeasure m : kMeasures) {
        if (TabRect(m).adjusted(0, 0, 0, kHeight - kTextHeight).contains(at)) {
            return m;
        }
    }
    return std::nullopt;
}

void ChartMeasureTabs::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setFont(font());
    for (ChartMeasure m : kMeasures) {
        const QRect box = TabRect(m);
        const bool selected = m == measure_;
        p.setPen(selected ? QColor(Qt::black) : QColor(kChartLabelRgb));
        p.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, TitleOf(m));
        if (selected) {
            p.fillRect(QRect(box.left(), box.bottom() + 1, box.width(), 2), kUnderline);
        }
    }
}

void ChartMeasureTabs::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        if (const std::optional<ChartMeasure> m = MeasureAt(event->position().toPoint())) {
            emit chosen(*m);
        }
    }
    // The chart reacts to any press as well (its owner hides the File panel).
    event->ignore();
}

void ChartMeasureTabs::mouseMoveEvent(QMouseEvent* event) {
    setCursor(MeasureAt(event->position().toPoint()) ? Qt::PointingHandCursor : Qt::ArrowCursor);
    QWidget::mouseMoveEvent(event);
}

}  // namespace quarn::console::ui
