#include "console/headless/headless_console.h"

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <stop_token>

#include "console/core/event_loop.h"
#include "console/core/local_time.h"
#include "console/core/measurement_run.h"
#include "console/core/pair_builders.h"
#include "console/files/atomic_file_writer.h"
#include "console/files/config_file.h"
#include "console/files/file_flow.h"
#include "console/files/tick_csv.h"
#include "console/headless/comparison_text.h"
#include "console/headless/signal_watcher.h"
#include "console/headless/terminal_view.h"
#include "console/net/console_lab_key.h"
#include "console/net/link_facts_query.h"
#include "console/plans/test_plan.h"
#include "console/records/plan_report.h"
#include "console/records/reference_loading.h"
#include "console/records/run_compare.h"
#include "console/records/run_report.h"
#include "console/session/console_session.h"
#include "console/session/isolation_run.h"

namespace quarn::console {
namespace {

// How long the EndPoints of a run's pairs have to say what their links are.
constexpr auto kLinkFactsWait = std::chrono::milliseconds(1000);

// A pair's options go only to an EndPoint that announced them.
bool AnyTrafficOption(const ConsoleData& data) {
    for (const PairRecord& pair : data.table.Pairs()) {
        if (!pair.config.traffic.Empty())
            return true;
    }
    return false;
}

SessionOptions MakeSessionOptions(const HeadlessOptions& options,
                                  const HeadlessEnvironment& environment,
                                  std::optional<labkey::LabKey> key) {
    SessionOptions session;
    session.iperfPath = environment.iperfPath;
    session.interfaces = options.interfaces;
    session.labKey = std::move(key);
    session.historyLimit = options.historyLimit;
    session.metricsAddress = options.metricsAddress;
    session.jsonlPath = options.jsonlPath;
    session.jsonlStandardOutput = environment.out;
    return session;
}

// With the records on standard output, what people read goes to standard error.
std::FILE* TextOut(const HeadlessOptions& options, const HeadlessEnvironment& environment) {
    return options.jsonlPath == "-" ? environment.err : environment.out;
}

class HeadlessConsole {
  public:
    HeadlessConsole(const HeadlessOptions& options, const HeadlessEnvironment& environment,
                    std::optional<labkey::LabKey> key, const plans::TestPlan* plan)
        : options_(options),
          plan_(plan),
          env_(environment),
          session_(MakeSessionOptions(options, environment, std::move(key)), loop_),
          data_(session_.Data()),
          run_(session_.Run()),
          view_(data_, TextOut(options, environment)) {
        view_.SetNotesStream(environment.err);
        session_.AttachView(&view_);
    }

    ~HeadlessConsole() {
        session_.Shutdown();
        session_.AttachView(nullptr);
    }

    int Run();

  private:
    int Open();
    void ApplyOverrides();
    void ApplyTraffic();
    int AddReversesOfOpenedPairs();
    void Search();
    int Measure();
    int OpenOutputs();
    int MeasureOpened();
    // Starts the run, saying `what`, and waits for its end: kExitOk once it is over,
    // kExitRefused when it did not start, kExitFailed when the Console quit meanwhile.
    int RunOnce(const std::string& what);
    int Isolate();
    // Each pair alone for `phase`, then all together, with the outputs already open.
    int IsolateOpened(std::chrono::seconds phase);
    int RunPlan();
    // Runs one step; false when the plan ends with it (a stop or a quit).
    bool RunStep(std::size_t index, int repetition);
    // Waits before a repetition; false when Ctrl-C ended the wait.
    bool WaitForRepetition(int repetition);
    int FinishPlan();
    void OnSignal();
    int Save();
    int WriteReport();
    int LoadComparison();
    int LoadBaseline();
    void LearnLinks();
    // With `when`, the time it was measured above the table.
    void ShowTable(bool when);
    // Flushed at once: through a pipe, "Measuring..." would otherwise wait for the first tick.
    void Say(const std::string& text) {
        std::FILE* out = TextOut(options_, env_);
        std::fprintf(out, "%s", text.c_str());
        std::fflush(out);
    }
    int Fail(const std::string& text) {
        std::fprintf(env_.err, "%s\n", text.c_str());
        return kExitFailed;
    }

    const HeadlessOptions& options_;
    const plans::TestPlan* plan_;  // none: one run as the options say
    const HeadlessEnvironment& env_;
    EventLoop loop_;
    ConsoleSession session_;
    ConsoleData& data_;
    MeasurementRun& run_;
    TerminalView view_;
    TickCsv csv_;
    ConsoleData reference_;                     // with --compare
    std::optional<IsolationResult> isolation_;  // with --isolate, for the report
    bool stopPressed_ = false;
    bool incomplete_ = false;  // the opened file was cut short
    bool quitRequested_ = false;
    std::atomic<bool> measuring_{false};
    std::stop_source interrupt_;  // Ctrl-C outside a measurement: also ends a search
    bool planStopped_ = false;    // Ctrl-C during a plan: no further step
    std::chrono::steady_clock::time_point repetitionStart_;
    std::vector<records::PlanStepRun> stepRuns_;
};

int HeadlessConsole::Run() {
    SignalWatcher signals([this](int) {
        if (!measuring_)
            interrupt_.request_stop();
        loop_.Post([this] { OnSignal(); });
    });
    if (options_.listRuns) {
        Say(records::FormatRunList(records::ListRuns(session_.HistoryDir())));
        return kExitOk;
    }
    if (!options_.metricsAddress.empty()) {
        if (const Outcome served = session_.ServeMetrics(); !served)
            return Fail(served.Why());
        Say("Metrics on port " + std::to_string(session_.MetricsPort()) + " at /metrics\n");
    }
    if (!options_.openPath.empty() || options_.recover) {
        if (const int status = Open(); status != kExitOk)
            return status;
    }
    // A reference that cannot be read fails before anything is measured.
    if (const int status = LoadComparison(); status != kExitOk)
        return status;
    if (const int status = LoadBaseline(); status != kExitOk)
        return status;
    if (plan_)
        return RunPlan();
    ApplyOverrides();
    if (const int status = AddReversesOfOpenedPairs(); status != kExitOk)
        return status;
    if (options_.search)
        Search();
    if (interrupt_.stop_requested())
        return Fail("Interrupted.");

    int status = kExitOk;
    if (data_.table.PairCount() > 0 && !options_.noRun) {
        status = options_.isolateSeconds ? Isolate() : Measure();
    } else if (!options_.openPath.empty() || options_.recover) {
        session_.Judge();
        ShowTable(true);
    } else if (!options_.search && options_.savePath.empty()) {
        return Fail("Nothing to do: give --pair, --search, --open or --save (see --help).");
    }
    if (status == kExitRefused || quitRequested_)
        return status;
    if (!options_.reportPath.empty()) {
        if (const int written = WriteReport(); written != kExitOk)
            return written;
    }
    if (!options_.savePath.empty()) {
        if (const int saved = Save(); saved != kExitOk)
            return saved;
    }
    return incomplete_ ? kExitFailed : status;
}

int HeadlessConsole::Open() {
    if (options_.recover) {
        const Outcome recovered = session_.RecoverRun(options_.recoverId);
        return recovered ? kExitOk : Fail(recovered.Why());
    }
    const ConfigResult result = session_.OpenFileNow(options_.openPath);
    if (result == ConfigResult::CannotAccess)
        return Fail(records::CannotOpenText(options_.openPath));
    if (result == ConfigResult::NotConfigFile)
        return Fail(FileFlow::kNotConfigFile);
    if (result == ConfigResult::Incomplete) {
        // What was read is used (and can be saved again), but the run as a whole fails.
        std::fprintf(env_.err, "%s\n", IncompleteFileText(data_.table.PairCount()).c_str());
        incomplete_ = true;
    }
    return kExitOk;
}

int HeadlessConsole::LoadComparison() {
    if (options_.comparePath.empty())
        return kExitOk;
    const Outcome loaded =
        records::LoadReference(options_.comparePath, session_.HistoryDir(), reference_);
    return loaded ? kExitOk : Fail(loaded.Why());
}

int HeadlessConsole::LoadBaseline() {
    if (options_.baselinePath.empty())
        return kExitOk;
    auto baseline = std::make_unique<ConsoleData>();
    const Outcome loaded =
        records::LoadReference(options_.baselinePath, session_.HistoryDir(), *baseline);
    if (!loaded)
        return Fail(loaded.Why());
    // The session judges every run against it.
    session_.SetReference(std::move(baseline), options_.baselinePath);
    return kExitOk;
}

// Pairs given on the command line were never searched for: their EndPoints are asked
// directly, when something will use the answer.
void HeadlessConsole::LearnLinks() {
    if (!AnyPassLine(data_) && options_.jsonlPath.empty() && !AnyTrafficOption(data_))
        return;
    std::vector<std::string> unknown;
    for (const PairRecord& record : data_.table.Pairs()) {
        const PairConfig& pair = record.config;
        for (const std::string* address : {&pair.endpoint1, &pair.endpoint2}) {
            if (pair.active && !data_.links.contains(*address))
                unknown.push_back(*address);
        }
    }
    if (unknown.empty())
        return;
    data_.links.merge(AskLinkFacts(unknown, protocol::kDiscoveryPort, kLinkFactsWait));
}

void HeadlessConsole::ShowTable(bool when) {
    if (!options_.comparePath.empty()) {
        Say(FormatComparison(data_, reference_, options_.comparePath));
        return;
    }
    if (when && !data_.measuredAt.empty())
        Say("(measured at " + data_.measuredAt + ")\n");
    Say(FormatPairTable(data_));
}

void HeadlessConsole::ApplyOverrides() {
    MeasurementSettings& settings = data_.settings;
    if (options_.durationText)
        settings.durationText = *options_.durationText;
    if (options_.protocol)
        settings.protocol = *options_.protocol;
    if (options_.windowText)
        settings.windowSizeText = *options_.windowText;
    if (options_.throughputText)
        settings.throughputText = *options_.throughputText;
    settings.passLines = EffectiveLines(settings.passLines, options_.passLines);
    if (options_.pairs.empty()) {
        ApplyTraffic();
        return;
    }
    // Pairs given on the command line replace the opened file's pairs and their series.
    data_.table.RemoveAllPairs();
    data_.chart.Reset();
    for (const PairSpec& spec : options_.pairs) {
        PairConfig pair;
        pair.endpoint1 = spec.endpoint1;
        pair.endpoint2 = spec.endpoint2;
        pair.parallel = spec.streams;
        data_.table.AppendPair(std::move(pair));
    }
    data_.chart.SetPairCount(data_.table.PairCount());
    ApplyTraffic();
}

// --both-ways on the pairs of an opened file; pairs from the command line have their
// reverses already.
int HeadlessConsole::AddReversesOfOpenedPairs() {
    if (!options_.bothWays || !options_.pairs.empty())
        return kExitOk;
    std::vector<BuiltPair> opened;
    for (const PairRecord& pair : data_.table.Pairs())
        opened.emplace_back(pair.config.endpoint1, pair.config.endpoint2);
    const std::vector<BuiltPair> reverses = ReversePairs(opened);
    const Outcome room =
        CheckBuilderRoom("--both-ways", data_.table.PairCount(), static_cast<int>(reverses.size()));
    if (!room) {
        std::fprintf(env_.err, "%s\n", room.Why().c_str());
        return kExitRefused;
    }
    for (const auto& [from, to] : reverses) {
        PairConfig pair;
        pair.endpoint1 = from;
        pair.endpoint2 = to;
        data_.table.AppendPair(std::move(pair));
    }
    data_.chart.SetPairCount(data_.table.PairCount());
    ApplyTraffic();
    return kExitOk;
}

void HeadlessConsole::ApplyTraffic() {
    const TrafficOptions& given = options_.traffic;
    for (auto& pair : data_.table.Pairs()) {
        TrafficOptions& traffic = pair.config.traffic;
        traffic.dscp = given.dscp ? given.dscp : traffic.dscp;
        traffic.length = given.length ? given.length : traffic.length;
        traffic.mss = given.mss ? given.mss : traffic.mss;
    }
}

void HeadlessConsole::Search() {
    Say("Searching for End Points...\n");
    const Outcome found = session_.SearchNow(interrupt_.get_token());
    Say(found ? FormatEndPointList(data_) : found.Why() + "\n");
}

int HeadlessConsole::Measure() {
    if (const int opened = OpenOutputs(); opened != kExitOk)
        return opened;
    return MeasureOpened();
}

int HeadlessConsole::OpenOutputs() {
    if (!options_.csvPath.empty()) {
        if (!csv_.Open(options_.csvPath, data_.table)) {
            return Fail("Cannot create the CSV file: " + options_.csvPath);
        }
    }
    if (const Outcome opened = session_.OpenJsonLines(); !opened)
        return Fail(opened.Why());
    view_.onTick = [this](int tick) { csv_.WriteTick(tick, data_.table); };
    return kExitOk;
}

int HeadlessConsole::MeasureOpened() {
    LearnLinks();
    if (const int status = RunOnce(std::to_string(data_.table.PairCount()) + " pair(s)");
        status != kExitOk)
        return status;
    csv_.Close();
    ShowTable(false);
    if (!options_.csvPath.empty() && !csv_.Good())
        return Fail("Writing the CSV file failed.");
    if (!options_.jsonlPath.empty() && !session_.JsonLinesGood())
        return Fail("Writing the JSON Lines file failed.");
    if (view_.LastNoticeKind() != NoticeKind::Completed)
        return kExitFailed;
    return data_.judgement && data_.judgement->run == Verdict::Fail ? kExitPairFailed : kExitOk;
}

int HeadlessConsole::RunOnce(const std::string& what) {
    measuring_ = true;
    // The session journals the run and judges it when it ends.
    if (!session_.StartRun()) {
        measuring_ = false;
        return kExitRefused;
    }
    Say("Measuring " + what + " for " + std::to_string(run_.Duration().count()) + " s...\n");
    // Both change only in calls the loop runs, so it sleeps until the next one.
    loop_.RunUntilCalled([this] { return !run_.Measuring() || quitRequested_; },
                         std::chrono::hours(24 * 365));
    measuring_ = false;
    if (quitRequested_) {
        session_.Quit();
        Say("Quit before the measurement ended.\n");
        return kExitFailed;
    }
    return kExitOk;
}

int HeadlessConsole::Isolate() {
    if (const Outcome opened = session_.OpenJsonLines(); !opened)
        return Fail(opened.Why());
    return IsolateOpened(std::chrono::seconds(*options_.isolateSeconds));
}

// Every pair alone, then all together; each phase is a run of the history.
int HeadlessConsole::IsolateOpened(std::chrono::seconds phase) {
    LearnLinks();
    int status = kExitOk;
    const auto measure = [&]() -> Outcome {
        int active = 0;
        std::string alone;
        for (int row = 1; row < data_.table.Size(); ++row) {
            if (data_.table[row].config.active) {
                ++active;
                alone = "Pair" + std::to_string(row) + " alone";
            }
        }
        status = RunOnce(active == 1 ? alone : std::to_string(active) + " pairs together");
        if (status != kExitOk)
            return Outcome::Failed("not measured");
        if (view_.LastNoticeKind() != NoticeKind::Completed) {
            status = kExitFailed;
            return Outcome::Failed("the run did not complete");
        }
        return Outcome::Done();
    };
    Result<IsolationResult> result = RunIsolation(session_, phase, measure);
    if (!result) {
        std::fprintf(env_.err, "%s\n", result.Why().c_str());
        return status == kExitOk ? kExitRefused : status;
    }
    ShowTable(false);
    Say(FormatIsolation(*result));
    isolation_ = std::move(result).Value();
    if (!options_.jsonlPath.empty() && !session_.JsonLinesGood())
        return Fail("Writing the JSON Lines file failed.");
    return data_.judgement && data_.judgement->run == Verdict::Fail ? kExitPairFailed : kExitOk;
}

// Ctrl-C is the Stop button. Before the first processed second the stop waits for it (at
// most MeasurementRun::kForcedStopDelay); a second Ctrl-C meanwhile quits.
void HeadlessConsole::OnSignal() {
    planStopped_ = plan_ != nullptr;
    if (!run_.Measuring())
        return;
    if (run_.FirstTickSeen()) {
        run_.StartOrStop();
    } else if (stopPressed_) {
        quitRequested_ = true;
        loop_.Quit();
    } else {
        stopPressed_ = true;
        run_.StartOrStop();
        const auto limit =
            std::chrono::duration_cast<std::chrono::seconds>(MeasurementRun::kForcedStopDelay);
        Say("\nStopping... once the first second is processed, or in " +
            std::to_string(limit.count()) + " s at the latest; press Ctrl-C again to quit.\n");
    }
}

int HeadlessConsole::Save() {
    // The system's own words say why: a full disk, a read-only file system, a permission.
    if (const Outcome saved = WriteConfigFile(options_.savePath, data_); !saved)
        return Fail("Cannot save the file: " + options_.savePath + " (" + saved.Why() + ")");
    Say("Saved " + options_.savePath + "\n");
    return kExitOk;
}

int HeadlessConsole::WriteReport() {
    const std::vector<records::ReportChart> charts =
        env_.reportCharts ? env_.reportCharts(data_) : std::vector<records::ReportChart>();
    const std::string html = records::BuildRunReport(
        data_, charts, FormatMeasuredAt(std::chrono::system_clock::now()), options_.reportTitle,
        isolation_ ? records::IsolationSection(*isolation_) : std::string());
    AtomicFileWriter file(options_.reportPath);
    if (!file.Open() || !file.Write(html) || !file.Commit())
        return Fail("Cannot write the report: " + options_.reportPath);
    Say("Report " + options_.reportPath + "\n");
    return kExitOk;
}

int HeadlessConsole::RunPlan() {
    if (const int opened = OpenOutputs(); opened != kExitOk)
        return opened;
    Say(plans::PlanHeading(*plan_) + "\n");
    bool going = true;
    for (int repetition = 1; going && repetition <= plan_->repeat; ++repetition) {
        if (repetition > 1)
            going = WaitForRepetition(repetition);
        repetitionStart_ = std::chrono::steady_clock::now();
        for (std::size_t step = 0; going && step < plan_->steps.size(); ++step)
            going = RunStep(step, repetition);
    }
    session_.SetPlanTags({});
    return quitRequested_ ? kExitFailed : FinishPlan();
}

bool HeadlessConsole::RunStep(std::size_t index, int repetition) {
    const plans::PlanStep& step = plan_->steps[index];
    std::string notice = plans::StepNotice(*plan_, index);
    if (plan_->repeat > 1)
        notice += " (repetition " + std::to_string(repetition) + " of " +
                  std::to_string(plan_->repeat) + ")";
    Say(notice + "\n");
    plans::ApplyStep(*plan_, step, data_);
    const records::PlanTags tags{plan_->name, step.name, static_cast<int>(index) + 1, repetition};
    session_.SetPlanTags(tags);
    stopPressed_ = false;
    isolation_.reset();
    const int status = step.isolateSeconds
                           ? IsolateOpened(std::chrono::seconds(*step.isolateSeconds))
                           : MeasureOpened();
    if (quitRequested_)
        return false;
    records::PlanStepRun result;
    result.tags = tags;
    result.completed = status == kExitOk || status == kExitPairFailed;
    result.runId = status == kExitRefused ? std::string() : session_.RunId();
    result.data = data_;
    if (isolation_)
        result.moreSections = records::IsolationSection(*isolation_);
    if (!options_.reportPath.empty() && env_.reportCharts)
        result.charts = env_.reportCharts(data_);
    stepRuns_.push_back(std::move(result));
    if (planStopped_)
        Say("Plan stopped after " + plans::StepNotice(*plan_, index) + ".\n");
    return !planStopped_;
}

// Repetitions start `every` apart; one that ran longer is followed at once.
bool HeadlessConsole::WaitForRepetition(int repetition) {
    const auto deadline = repetitionStart_ + plan_->every;
    const auto now = std::chrono::steady_clock::now();
    if (plan_->every.count() > 0 && deadline > now) {
        const auto left = std::chrono::ceil<std::chrono::seconds>(deadline - now);
        Say("Repetition " + std::to_string(repetition) + " of " + std::to_string(plan_->repeat) +
            " in " + plans::IntervalText(left) + "; Ctrl-C ends the plan.\n");
        // Ctrl-C reaches the loop as a call, which ends the wait at once.
        loop_.RunUntilCalled([this] { return planStopped_; },
                             std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now));
    }
    if (planStopped_) {
        Say("Plan stopped before repetition " + std::to_string(repetition) + " of " +
            std::to_string(plan_->repeat) + ".\n");
        return false;
    }
    return true;
}

int HeadlessConsole::FinishPlan() {
    const std::optional<Verdict> verdict = records::PlanVerdict(stepRuns_);
    Say(std::string("Plan verdict: ") + (verdict ? VerdictLabel(*verdict) : "none") + " (" +
        std::to_string(stepRuns_.size()) + " of " +
        std::to_string(plan_->steps.size() * static_cast<std::size_t>(plan_->repeat)) +
        " steps run)\n");
    if (!options_.reportPath.empty()) {
        const std::string html = records::BuildPlanReport(
            plan_->name, stepRuns_, FormatMeasuredAt(std::chrono::system_clock::now()),
            options_.reportTitle);
        AtomicFileWriter file(options_.reportPath);
        if (!file.Open() || !file.Write(html) || !file.Commit())
            return Fail("Cannot write the report: " + options_.reportPath);
        Say("Report " + options_.reportPath + "\n");
    }
    const auto failedLines = [](const records::PlanStepRun& step) {
        return step.completed && records::StepVerdict(step) == Verdict::Fail;
    };
    if (std::any_of(stepRuns_.begin(), stepRuns_.end(), failedLines))
        return kExitPairFailed;
    const bool allRan =
        !planStopped_ && std::all_of(stepRuns_.begin(), stepRuns_.end(),
                                     [](const auto& step) { return step.completed; });
    return allRan ? kExitOk : kExitFailed;
}

}  // namespace

Result<std::optional<labkey::LabKey>> LoadLabKeyOption(const HeadlessOptions& options) {
    if (options.labKeyPath.empty())
        return std::optional<labkey::LabKey>();
    Result<labkey::LabKey> key = LoadConsoleLabKey(options.labKeyPath);
    if (!key)
        return WhyNot{key.Why()};
    return std::optional<labkey::LabKey>(std::move(key).Value());
}

int RunHeadlessConsole(const HeadlessOptions& options, const HeadlessEnvironment& environment) {
    Result<std::optional<labkey::LabKey>> key = LoadLabKeyOption(options);
    if (!key) {
        std::fprintf(environment.err, "%s\n", key.Why().c_str());
        return kExitRefused;
    }
    std::optional<plans::TestPlan> plan;
    if (!options.planPath.empty()) {
        Result<plans::TestPlan> read = plans::LoadPlan(options.planPath);
        if (!read) {
            std::fprintf(environment.err, "%s\n", read.Why().c_str());
            return kExitRefused;
        }
        if (plans::UsesBaseline(*read) && options.baselinePath.empty()) {
            std::fprintf(environment.err, "%s: a baseline line needs --baseline FILE|ID\n",
                         options.planPath.c_str());
            return kExitRefused;
        }
        plan = std::move(read).Value();
    }
    HeadlessConsole console(options, environment, std::move(key).Value(), plan ? &*plan : nullptr);
    return console.Run();
}

}  // namespace quarn::console
