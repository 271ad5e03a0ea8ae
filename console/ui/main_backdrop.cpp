#include "console/ui/main_backdrop.h"

#include <QPixmap>

#include "console/ui/pair_list_widget.h"
#include "version/version.h"
#include "widgets/artwork.h"
#include "widgets/flat_painting.h"
#include "widgets/fonts.h"
#include "widgets/palette.h"

namespace quarn::console::ui {
namespace {

const QColor& kBackground = widgets::palette::kWindowFace;
const QColor& kFrame = widgets::palette::kLightEdge;
const QColor kEditFrame(217, 217, 217);

void PaintFrame(QPainter& painter, QSize size) {
    painter.fillRect(QRect(QPoint(0, 0), size), kBackground);
    painter.setPen(kFrame);
    painter.drawRect(0, 0, size.width() - 1, size.height() - 1);
}

}  // namespace

void PaintIntro(QPainter& painter, QSize size) {
    PaintFrame(painter, size);
    painter.drawPixmap(0, 0, QPixmap(widgets::kTitleIntro));
    painter.drawPixmap(114, 82, QPixmap(widgets::kLogo));
    painter.setFont(widgets::GulimFont(12));
    painter.setPen(QColor(120, 120, 120));
    widgets::DrawTextAt(painter, 491, 40, QString::fromLatin1(kVersionText));
    painter.drawText(QRect(QPoint(0, 282), QPoint(525, 306)), Qt::AlignCenter | Qt::TextSingleLine,
                     QStringLiteral("Tolvex Quarn Console is running. Please wait a minute."));
}

void PaintMainLook(QPainter& painter, const MainLook& look) {
    const int w = look.size.width();
    PaintFrame(painter, look.size);
    const QFont normal = widgets::GulimFont(12);
    painter.setFont(normal);

    const QRect strip(QPoint(7, 61), QPoint(w - 377, 80));
    PairListWidget::PaintHeaderStrip(painter, strip, strip.width(), normal);
    // Stripes behind the list rows, from the list's top to the area's bottom.
    for (int y = 123, i = 0; y < 270; y += 21, ++i) {
        painter.fillRect(QRect(QPoint(7, y), QPoint(w - 377, std::min(y + 20, 269))),
                         i % 2 == 0 ? widgets::palette::kStripe : QColor(Qt::white));
    }

    // The two edit frames.
    // (499, 37)-(551, 56) and (655, 37)-(707, 56), right and bottom exclusive.
    for (const int left : {499, 655}) {
        const QRect frame(left, 37, 52, 19);
        painter.fillRect(frame, Qt::white);
        painter.setPen(kEditFrame);
        painter.drawRect(frame.adjusted(0, 0, -1, -1));
    }

    painter.setPen(Qt::black);
    QFont bold = normal;
    bold.setBold(true);
    painter.setFont(bold);
    widgets::DrawDoubledText(painter, 7, 42, QStringLiteral("Pair list"));
    widgets::DrawTextAt(painter, 7, 321, QStringLiteral("Measurement graph"));
    painter.setFont(normal);
    if (!look.measuredAt.isEmpty()) {
        painter.setPen(widgets::palette::kGreyText);
        widgets::DrawTextAt(painter, 58, 42,
                            QStringLiteral("(measured at %1)").arg(look.measuredAt));
    }
    painter.setPen(QColor(60, 60, 60));
    widgets::DrawTextAt(painter, 605, 41, QStringLiteral("Duration"));
    widgets::DrawTextAt(painter, 712, 41, QStringLiteral("sec"));
    if (look.udp)
        widgets::DrawTextAt(painter, 430, 41, QStringLiteral("Throughput"));
    else
        widgets::DrawTextAt(painter, 423, 41, QStringLiteral("Window size"));
    widgets::DrawTextAt(painter, 556, 41,
                        look.udp ? QStringLiteral("Mbps") : QStringLiteral("MByte"));

    painter.setFont(widgets::GulimFont(11));
    painter.setPen(QColor(127, 127, 127));
    widgets::DrawTextAt(painter, w - 40, 39, QString::fromLatin1(kVersionText));
}

}  // namespace quarn::console::ui
