#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QString>

class QHelpEvent;
class QWidget;

namespace quarn::widgets {

// A text drawn in `area` with an ellipsis when it does not fit. On a tooltip request
// over that area, shows the whole text when it was cut and returns true; otherwise
// leaves the event alone and returns false.
bool ShowCutTextTip(const QHelpEvent& event, QWidget* widget, const QRect& area,
                    const QString& text, const QFontMetrics& metrics);

}  // namespace quarn::widgets
