#include "console/ui/mode_input_filter.h"

#include <QAbstractScrollArea>
#include <QHeaderView>
#include <QKeyEvent>
#include <QWidget>

namespace quarn::console::ui {
namespace {

bool IsKeyEvent(QEvent::Type type) {
    return type == QEvent::KeyPress || type == QEvent::KeyRelease ||
           type == QEvent::ShortcutOverride;
}

bool IsMouseEvent(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
            return true;
        default:
            return false;
    }
}

}  // namespace

ModeInputFilter::ModeInputFilter(QWidget* window, std::function<ConsoleMode()> mode,
                                 QObject* parent)
    : QObject(parent), window_(window), mode_(std::move(mode)) {}

bool ModeInputFilter::Passes(QObject* receiver, QEvent* event) const {
    const QEvent::Type type = event->type();
    if (!IsKeyEvent(type) && !IsMouseEvent(type))
        return true;
    if (mode_() == ConsoleMode::Idle || !receiver->isWidgetType())
        return true;
    auto* widget = static_cast<QWidget*>(receiver);
    if (widget->window() != window_)
        return true;
    // The control the event is for: the receiver or the registered widget holding it.
    // A list's header lies further down and is not filtered.
    for (QWidget* w = widget; w && w != window_; w = w->parentWidget()) {
        if (qobject_cast<QHeaderView*>(w))
            return true;
        const auto found = controls_.find(w);
        if (found == controls_.end())
            continue;
        switch (found->second) {
            case Role::RunControl:
                return mode_() == ConsoleMode::Measuring;
            case Role::Other:
                return false;
            case Role::PairList:
                if (type == QEvent::MouseButtonPress) {
                    const auto button = static_cast<QMouseEvent*>(event)->button();
                    return button == Qt::LeftButton || button == Qt::RightButton;
                }
                if (type == QEvent::Wheel || type == QEvent::ContextMenu)
                    return true;
                if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
                    const int key = static_cast<QKeyEvent*>(event)->key();
                    return key == Qt::Key_Up || key == Qt::Key_Down;
                }
                return false;
        }
    }
    return true;
}

bool ModeInputFilter::eventFilter(QObject* watched, QEvent* event) {
    return !Passes(watched, event);
}

}  // namespace quarn::console::ui
