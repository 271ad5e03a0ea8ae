#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "console/core/run_judgement.h"
#include "console/records/run_recording.h"
#include "console/ui/recent_runs_list.h"

namespace quarn::console::ui {

class MainWindow;
class WindowReference;

// The window's run records: every run journalled into the history, the metrics page, the
// offer to recover a run that did not finish, and the File panel's Recent runs.
// Window thread only.
class WindowRecords : public QObject {
    Q_OBJECT

  public:
    WindowRecords(MainWindow& window, std::string historyDir,
                  std::uintmax_t historyLimit = records::kDefaultHistoryLimit);
    ~WindowRecords() override;

    // Serves /metrics at "[ADDR:]PORT"; false when it cannot be bound.
    bool ServeMetrics(const std::string& address);
    std::uint16_t MetricsPort() const { return recording_.MetricsPort(); }
    // Asks in the notice panel whether to recover the newest run that did not finish;
    // false when there is none.
    bool OfferRecovery();
    // Puts run `id` of the history into the window as a stopped run; false (with a notice)
    // when it cannot be read, or while not idle.
    bool OpenRun(const std::string& id);
    // The run the chart and tooltips compare with.
    WindowReference& Reference() { return *reference_; }
    const std::string& HistoryDir() const { return historyDir_; }
    const std::string& JournalPath() const { return recording_.JournalPath(); }

    // "Recover the measurement of" / "<date time> that did not finish?"
    static std::string RecoveryQuestion(const std::string& startedLocal);

  private:
    void RunStarted();
    void ModeChanged();
    void ShowJudgement(RunJudgement judgement);
    void RecoveryAnswered(bool yes);
    void PanelShown(bool shown);

    MainWindow& window_;
    std::string historyDir_;
    records::RunRecording recording_;
    bool recordingRun_ = false;
    std::optional<std::string> offeredId_;
    QPointer<RecentRunsList> recent_;
    std::unique_ptr<WindowReference> reference_;
};

}  // namespace quarn::console::ui
