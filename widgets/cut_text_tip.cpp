#include "widgets/cut_text_tip.h"

#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>

namespace quarn::widgets {

bool ShowCutTextTip(const QHelpEvent& event, QWidget* widget, const QRect& area,
                    const QString& text, const QFontMetrics& metrics) {
    if (!area.contains(event.pos()) || metrics.horizontalAdvance(text) <= area.width())
        return false;
    QToolTip::showText(event.globalPos(), text, widget, area);
    return true;
}

}  // namespace quarn::widgets
