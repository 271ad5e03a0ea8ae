#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/core/console_view.h"
#include "console/core/pair_verdict.h"
#include "console/plans/test_plan.h"
#include "console/records/plan_report.h"
#include "console/session/console_session.h"

namespace quarn::console {

// What a plan run asks of the front end that cannot block: where its lines go, a timer
// for the wait before a repetition, and the plan's end.
class PlanFront {
  public:
    virtual ~PlanFront() = default;
    // "Step 2 of 4: NAME", the waits, the stop and the verdict, in order.
    virtual void PlanSaid(std::string_view text) = 0;
    // Calls PlanRunner::RepetitionDue once `wait` has passed; one wait at a time.
    virtual void StartWait(std::chrono::milliseconds wait) = 0;
    virtual void CancelWait() = 0;
    // A step's settings and pairs are in the data, just before its run starts.
    virtual void StepApplied() {}
    // The plan is over (run through, stopped or cut short); its steps are in the runner.
    virtual void PlanEnded() = 0;
    // The charts a step's report section shows; none by default.
    virtual std::vector<records::ReportChart> StepCharts(const ConsoleData& /*data*/) { return {}; }
};

// Runs a plan through the session one event at a time: a step starts its run and returns;
// the run's end (RunEnded, from the front end's view) records the step and starts the
// next, or waits for the next repetition. On the session's main thread.
class PlanRunner {
  public:
    static constexpr const char* kIsolateInWindow =
        "An isolation step runs in the headless Console only (--plan).";

    PlanRunner(ConsoleSession& session, PlanFront& front);
    PlanRunner(const PlanRunner&) = delete;
    PlanRunner& operator=(const PlanRunner&) = delete;

    // Starts the plan in Idle mode; refused with why otherwise, while one runs, or when a
    // step would need to wait for its runs as the isolation run does.
    Outcome Start(plans::TestPlan plan);
    bool Running() const { return plan_.has_value() && !ended_; }
    bool Waiting() const { return waiting_; }

    // From the front end's view: every notice, and the end of each run (its mode back to
    // Idle). Ignored while no step runs.
    void Noticed(NoticeKind kind);
    void RunEnded();
    // The front end's timer has run out.
    void RepetitionDue();
    // Stop ends the plan: the running step is stopped and recorded, a wait ends at once.
    void Stop();

    const std::vector<records::PlanStepRun>& Steps() const { return steps_; }
    std::optional<Verdict> PlanVerdict() const { return records::PlanVerdict(steps_); }
    const std::string& PlanName() const;
    // The whole plan's report, a section per step run so far.
    std::string Report(const std::string& createdAt, const std::string& title) const;

  private:
    // Starts steps from `index_` on until one runs or the repetition is over.
    void StartSteps();
    void RecordStep(bool completed, std::string runId);
    // After a repetition's last step: the next one, at once or after a wait, or the end.
    void NextRepetition();
    void Finish();
    std::string RepetitionText() const;

    ConsoleSession& session_;
    PlanFront& front_;
    std::optional<plans::TestPlan> plan_;
    std::vector<records::PlanStepRun> steps_;
    std::size_t index_ = 0;
    int repetition_ = 1;
    std::chrono::steady_clock::time_point repetitionStart_;
    bool stepRunning_ = false;
    bool waiting_ = false;
    bool stopped_ = false;
    bool ended_ = false;
    std::optional<NoticeKind> lastNotice_;
};

}  // namespace quarn::console
