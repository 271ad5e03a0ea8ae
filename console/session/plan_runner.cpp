#include "console/session/plan_runner.h"

#include <algorithm>
#include <utility>

namespace quarn::console {

PlanRunner::PlanRunner(ConsoleSession& session, PlanFront& front)
    : session_(session), front_(front) {}

Outcome PlanRunner::Start(plans::TestPlan plan) {
    if (Running() || !session_.Idle())
        return Outcome::Failed(ConsoleSession::kRecoverNeedsIdle);
    // The isolation run waits for each phase on the caller's thread; the window cannot.
    if (std::any_of(plan.steps.begin(), plan.steps.end(),
                    [](const plans::PlanStep& step) { return step.isolateSeconds.has_value(); }))
        return Outcome::Failed(kIsolateInWindow);
    plan_ = std::move(plan);
    steps_.clear();
    index_ = 0;
    repetition_ = 1;
    stopped_ = false;
    ended_ = false;
    waiting_ = false;
    front_.PlanSaid(plans::PlanHeading(*plan_));
    repetitionStart_ = std::chrono::steady_clock::now();
    StartSteps();
    return Outcome::Done();
}

const std::string& PlanRunner::PlanName() const {
    static const std::string kNone;
    return plan_ ? plan_->name : kNone;
}

std::string PlanRunner::RepetitionText() const {
    if (plan_->repeat <= 1)
        return {};
    return " (repetition " + std::to_string(repetition_) + " of " + std::to_string(plan_->repeat) +
           ")";
}

void PlanRunner::StartSteps() {
    while (!stopped_ && index_ < plan_->steps.size()) {
        const plans::PlanStep& step = plan_->steps[index_];
        front_.PlanSaid(plans::StepNotice(*plan_, index_) + RepetitionText());
        plans::ApplyStep(*plan_, step, session_.Data());
        front_.StepApplied();
        session_.SetPlanTags({plan_->name, step.name, static_cast<int>(index_) + 1, repetition_});
        lastNotice_.reset();
        stepRunning_ = true;
        if (session_.StartRun())
            return;
        // Refused (the run said why in its notice): the step counts as not run.
        stepRunning_ = false;
        RecordStep(false, {});
    }
    if (!stopped_)
        NextRepetition();
}

void PlanRunner::Noticed(NoticeKind kind) {
    if (stepRunning_)
        lastNotice_ = kind;
}

void PlanRunner::RunEnded() {
    if (!stepRunning_ || session_.Run().Measuring())
        return;
    stepRunning_ = false;
    // A quit ends the plan where it is: nothing more starts, nothing is said.
    if (session_.Quitting()) {
        ended_ = true;
        front_.CancelWait();
        return;
    }
    RecordStep(lastNotice_ == NoticeKind::Completed, session_.RunId());
    if (stopped_) {
        front_.PlanSaid("Plan stopped after " + plans::StepNotice(*plan_, index_ - 1) + ".");
        Finish();
        return;
    }
    StartSteps();
}

void PlanRunner::RecordStep(bool completed, std::string runId) {
    const plans::PlanStep& step = plan_->steps[index_];
    records::PlanStepRun result;
    result.tags = {plan_->name, step.name, static_cast<int>(index_) + 1, repetition_};
    result.completed = completed;
    result.runId = std::move(runId);
    result.data = session_.Data();
    result.charts = front_.StepCharts(session_.Data());
    steps_.push_back(std::move(result));
    ++index_;
}

// Repetitions start `every` apart; one that ran longer is followed at once.
void PlanRunner::NextRepetition() {
    if (repetition_ >= plan_->repeat) {
        Finish();
        return;
    }
    const auto deadline = repetitionStart_ + plan_->every;
    const auto now = std::chrono::steady_clock::now();
    if (plan_->every.count() > 0 && deadline > now) {
        const auto left = std::chrono::ceil<std::chrono::seconds>(deadline - now);
        front_.PlanSaid("Repetition " + std::to_string(repetition_ + 1) + " of " +
                        std::to_string(plan_->repeat) + " in " + plans::IntervalText(left) +
                        "; Stop ends the plan.");
        waiting_ = true;
        front_.StartWait(std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
        return;
    }
    RepetitionDue();
}

void PlanRunner::RepetitionDue() {
    if (!Running() || stepRunning_ || repetition_ >= plan_->repeat || session_.Quitting())
        return;
    waiting_ = false;
    ++repetition_;
    index_ = 0;
    repetitionStart_ = std::chrono::steady_clock::now();
    StartSteps();
}

void PlanRunner::Stop() {
    if (!Running() || stopped_)
        return;
    stopped_ = true;
    if (waiting_) {
        waiting_ = false;
        front_.CancelWait();
        front_.PlanSaid("Plan stopped before repetition " + std::to_string(repetition_ + 1) +
                        " of " + std::to_string(plan_->repeat) + ".");
        Finish();
    } else if (stepRunning_ && session_.Run().Measuring()) {
        session_.StartOrStop();
    }
}

void PlanRunner::Finish() {
    session_.SetPlanTags({});
    ended_ = true;
    const std::optional<Verdict> verdict = PlanVerdict();
    front_.PlanSaid(std::string("Plan verdict: ") + (verdict ? VerdictLabel(*verdict) : "none") +
                    " (" + std::to_string(steps_.size()) + " of " +
                    std::to_string(plan_->steps.size() * static_cast<std::size_t>(plan_->repeat)) +
                    " steps run)");
    front_.PlanEnded();
}

std::string PlanRunner::Report(const std::string& createdAt, const std::string& title) const {
    return records::BuildPlanReport(PlanName(), steps_, createdAt, title);
}

}  // namespace quarn::console
