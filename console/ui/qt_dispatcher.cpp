#include "console/ui/qt_dispatcher.h"

#include <QMetaObject>

namespace quarn::console::ui {

QtDispatcher::QtDispatcher() : queue_([this] { Wake(); }) {}

QtDispatcher::~QtDispatcher() {
    // No wake-up is posted after this, and the context's pending ones die with it.
    Close();
}

void QtDispatcher::Wake() {
    // Runs on the queuing thread with the queue's lock held: posting an event never blocks.
    QMetaObject::invokeMethod(
        &context_, [this] { queue_.RunPending(); }, Qt::QueuedConnection);
}

}  // namespace quarn::console::ui
