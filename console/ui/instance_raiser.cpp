#include "console/ui/instance_raiser.h"

#include <QWidget>

namespace quarn::console::ui {

InstanceRaiser::InstanceRaiser(platform::SingleInstance& instance, QWidget* window)
    : QObject(window),
      instance_(instance),
      window_(window),
      notifier_(instance.Fd(), QSocketNotifier::Read) {
    connect(&notifier_, &QSocketNotifier::activated, this, &InstanceRaiser::OnRequest);
}

void InstanceRaiser::OnRequest() {
    if (!instance_.TakeRaiseRequest())
        return;
    if (window_->isMinimized())
        window_->showNormal();
    else
        window_->show();
    window_->raise();
    window_->activateWindow();
    emit raised();
}

}  // namespace quarn::console::ui
