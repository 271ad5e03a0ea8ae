#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

#include "console/session/plan_runner.h"

namespace quarn::console::ui {

class MainWindow;

// "Run plan..." of the File panel: the plan is read from the chosen file (a refusal shows
// its file:line message), each step shows "Step 2 of 4: NAME" in the notice panel, Stop
// ends the plan, and at its end the plan's report is offered. Window thread only.
class WindowPlan : public QObject, public PlanFront {
    Q_OBJECT

  public:
    static constexpr const char* kRunPlan = "Run plan...";
    static constexpr const char* kSaveReport = "Save the plan's report";

    explicit WindowPlan(MainWindow& window);
    ~WindowPlan() override;

    // Asks for a file (title, folder, filter); empty when cancelled. Tests answer instead.
    using PathChooser = std::function<QString(const QString&, const QString&, const QString&)>;
    void SetOpenChooser(PathChooser chooser) { openChooser_ = std::move(chooser); }
    void SetSaveChooser(PathChooser chooser) { saveChooser_ = std::move(chooser); }

    // Asks for a plan and runs it; false (with a notice) when none started.
    bool AskAndRun();
    bool RunFile(const QString& path);
    PlanRunner& Runner() { return runner_; }

    // PlanFront
    void PlanSaid(std::string_view text) override;
    void StartWait(std::chrono::milliseconds wait) override;
    void CancelWait() override;
    void StepApplied() override;
    // The chart as the window drew the step's run.
    std::vector<records::ReportChart> StepCharts(const ConsoleData& data) override;
    void PlanEnded() override;

  private:
    void OfferReport();

    MainWindow& window_;
    PlanRunner runner_;
    QTimer wait_;
    PathChooser openChooser_;
    PathChooser saveChooser_;
};

}  // namespace quarn::console::ui
