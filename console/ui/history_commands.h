#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <optional>
#include <string>

#include "console/ui/recent_runs_list.h"

namespace quarn::console::ui {

class MainWindow;
class ReferenceCommands;

// The window's side of the session's run records: the offer to recover a run that did
// not finish, and the File panel's Recent runs. Window thread only.
class HistoryCommands : public QObject {
    Q_OBJECT

  public:
    explicit HistoryCommands(MainWindow& window);
    ~HistoryCommands() override;

    // Asks in the notice panel whether to recover the newest run that did not finish;
    // false when there is none.
    bool OfferRecovery();
    // Puts run `id` of the history into the window as a stopped run; false (with a notice)
    // when it cannot be read, or while not idle.
    bool OpenRun(const std::string& id);
    // The run the chart and tooltips compare with.
    ReferenceCommands& Reference() { return *reference_; }

    // "Recover the measurement of" / "<date time> that did not finish?"
    static std::string RecoveryQuestion(const std::string& startedLocal);

  private:
    void ShowVerdictLine();
    void RecoveryAnswered(bool yes);
    void PanelShown(bool shown);

    MainWindow& window_;
    std::optional<std::string> offeredId_;
    QPointer<RecentRunsList> recent_;
    std::unique_ptr<ReferenceCommands> reference_;
};

}  // namespace quarn::console::ui
