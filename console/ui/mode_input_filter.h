#pragma once

#include <QObject>
#include <functional>
#include <map>

#include "console/core/pair_state.h"

class QWidget;

namespace quarn::console::ui {

// Keeps the operator's mouse and keyboard away from the main window's controls while it
// is not Idle: the pair list still takes clicks, the wheel and the Up/Down keys, the
// Start/Stop button and the aggregate toggle work while measuring, every other control
// gets nothing. Installed on the application; the window itself (caption, borders) and
// anything that is not a registered control pass.
class ModeInputFilter : public QObject {
    Q_OBJECT
  public:
    enum class Role { PairList, RunControl, Other };

    ModeInputFilter(QWidget* window, std::function<ConsoleMode()> mode, QObject* parent);

    void Register(QWidget* control, Role role) { controls_[control] = role; }
    // Whether an event of this type for this receiver would be let through now.
    bool Passes(QObject* receiver, QEvent* event) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* window_;
    std::function<ConsoleMode()> mode_;
    std::map<const QWidget*, Role> controls_;
};

}  // namespace quarn::console::ui
