#include "widgets/window_mover.h"

#include <QMouseEvent>
#include <QWindow>

namespace quarn::widgets {

WindowMover* WindowMover::Install(QWidget* handle, DragArea area) {
    return new WindowMover(handle, std::move(area));
}

WindowMover::WindowMover(QWidget* handle, DragArea area)
    : QObject(handle), handle_(handle), area_(std::move(area)) {
    handle->installEventFilter(this);
}

bool WindowMover::eventFilter(QObject* watched, QEvent* event) {
    if (watched != handle_)
        return false;
    QWidget* window = handle_->window();
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* press = static_cast<QMouseEvent*>(event);
            if (press->button() != Qt::LeftButton ||
                (area_ && !area_(press->position().toPoint()))) {
                return false;
            }
            if (QWindow* w = window->windowHandle(); w && w->startSystemMove())
                return true;
            following_ = true;
            offset_ = press->globalPosition().toPoint() - window->frameGeometry().topLeft();
            return true;
        }
        case QEvent::MouseMove:
            if (!following_)
                return false;
            window->move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() - offset_);
            return true;
        case QEvent::MouseButtonRelease:
            following_ = false;
            return false;
        default:
            return false;
    }
}

}  // namespace quarn::widgets
