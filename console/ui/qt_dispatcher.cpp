#include "console/ui/qt_dispatcher.h"

namespace quarn::console::ui {

QtDispatcher::QtDispatcher()
    : notifier_(wakeFd_.Handle(), QSocketNotifier::Read), queue_([this] { Wake(); }) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this] { RunWoken(); });
}

QtDispatcher::~QtDispatcher() {
    // Nothing queues or signals after this; the queued calls are dropped with the queue.
    Close();
}

void QtDispatcher::Wake() {
    // Runs on the queuing thread with the queue's lock held. Signals only the first call
    // after a drain: the rest are taken by the same wake-up.
    if (!wakePending_.exchange(true)) {
        wakeFd_.Signal();
    }
}

void QtDispatcher::RunWoken() {
    // Drain before clearing the flag: a call that finds the flag still set was queued
    // before RunPending takes its count, and one queued later signals afresh. The other
    // order could swallow a signal whose call would then wait for the next one.
    wakeFd_.Drain();
    wakePending_.store(false);
    ++wakeCount_;
    queue_.RunPending();
}

}  // namespace quarn::console::ui
