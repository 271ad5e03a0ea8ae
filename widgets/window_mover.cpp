#include "widgets/window_mover.h"

#include <QWindow>

namespace quarn::widgets {

void WindowMover::Start(QWidget& window, const QMouseEvent& press) {
    if (QWindow* handle = window.windowHandle(); handle && handle->startSystemMove()) {
        return;
    }
    following_ = true;
    offset_ = press.globalPosition().toPoint() - window.frameGeometry().topLeft();
}

bool WindowMover::Follow(QWidget& window, const QMouseEvent& move) {
    if (!following_) {
        return false;
    }
    window.move(move.globalPosition().toPoint() - offset_);
    return true;
}

}  // namespace quarn::widgets
