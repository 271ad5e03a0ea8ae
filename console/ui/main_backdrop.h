#pragma once

#include <QPainter>
#include <QSize>
#include <QString>

namespace quarn::console::ui {

// What the main look paints around its controls.
struct MainLook {
    QSize size;
    bool udp = false;
    QString measuredAt;  // empty: no "(measured at ...)"
};

// The 2-second intro: title, logo, version and the wait line.
void PaintIntro(QPainter& painter, QSize size);
// Background, frame, column titles, row stripes and the labels of the main look.
void PaintMainLook(QPainter& painter, const MainLook& look);

}  // namespace quarn::console::ui
