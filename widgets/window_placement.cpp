#include "widgets/window_placement.h"

#include <QGuiApplication>
#include <QScreen>

namespace quarn::widgets {

void CentreOver(QWidget& window, const QWidget* owner, QSize size) {
    QRect area;
    if (owner) {
        area = owner->frameGeometry();
    } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    }
    if (area.isValid())
        window.move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

void CentreOnItsScreen(QWidget& window) {
    if (const QScreen* screen = window.screen())
        window.move(screen->availableGeometry().center() -
                    QPoint(window.width() / 2, window.height() / 2));
}

}  // namespace quarn::widgets
