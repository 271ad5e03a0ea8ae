#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

#include "platform/single_instance.h"

class QWidget;

namespace quarn::console::ui {

// Holds the Console's single-instance name for the window's life and brings the window
// to the front whenever a second start asks for it.
class InstanceRaiser : public QObject {
    Q_OBJECT
  public:
    // `instance` must be held already.
    InstanceRaiser(platform::SingleInstance& instance, QWidget* window);

  signals:
    void raised();

  private:
    void OnRequest();

    platform::SingleInstance& instance_;
    QWidget* window_;
    QSocketNotifier notifier_;
};

}  // namespace quarn::console::ui
