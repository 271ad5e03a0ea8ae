#include "console/core/measurement_run.h"

#include <cmath>
#include <cstdio>
#include <system_error>
#include <thread>

#include "address/ip_address.h"
#include "console/core/local_time.h"
#include "console/core/number_text.h"
#include "console/core/pair_capabilities.h"
#include "console/core/unauthenticated_note.h"

namespace quarn::console {

struct MeasurementRun::Worker {
    PairId pair;
    std::uint64_t generation = 0;
    std::chrono::milliseconds startDelay{0};
    std::unique_ptr<PairMeasurement> session;
    // Main thread only: the worker's last Send has run, so joining it cannot block the loop.
    bool ended = false;
    std::jthread thread;  // its stop token is the worker's stop
};

// Queues a worker's lines for the main thread, copied and in order, without waiting there.
class MeasurementRun::WorkerSink : public PairLineSink {
  public:
    WorkerSink(MeasurementRun& run, const Worker& worker) : run_(run), worker_(worker) {}

    void LineReady(int /*index*/, std::string_view line) override {
        run_.PostFromWorker([&run = run_, generation = worker_.generation, pair = worker_.pair,
                             text = std::string(line)] { run.OnLine(generation, pair, text); });
    }
    void StreamEnded(int /*index*/) override {
        run_.PostFromWorker([&run = run_, generation = worker_.generation, pair = worker_.pair] {
            run.OnStreamEnded(generation, pair);
        });
    }

  private:
    MeasurementRun& run_;
    const Worker& worker_;
};

std::string RateText(double value) {
    // "%fm" in the C locale whatever the program's locale: iperf reads a point.
    return FixedText(value, 6) + 'm';
}

std::string LinkLocalRefusal(const std::string& pairName, const std::string& endpoint2) {
    return pairName + ": End Point 1 can reach the link-local " + endpoint2 +
           " only if it is this machine; give End Point 2's unique-local or global address.";
}

std::string ThroughputRefusal(double mbits) {
    if (!(mbits > 0.0) || RateText(mbits) == RateText(0.0))
        return MeasurementRun::kThroughputNotPositive;
    if (mbits > MeasurementRun::kMaxThroughput)
        return MeasurementRun::kThroughputTooLarge;
    return {};
}

MeasurementRun::MeasurementRun(ConsoleData& data, ConsoleView& view, Dispatcher& dispatcher,
                               PairMeasurementFactory& sessions, RunEnvironment& environment,
                               const RunGate* gate)
    : data_(data),
      view_(view),
      dispatcher_(dispatcher),
      sessions_(sessions),
      environment_(environment),
      gate_(gate),
      ticks_(data, view) {}

MeasurementRun::~MeasurementRun() {
    Shutdown();
}

void MeasurementRun::StartOrStop() {
    data_.windowThread.Check("MeasurementRun::StartOrStop");
    if (!measuring_) {
        Start();
    } else if (firstTickSeen_) {
        Complete(false);
    } else {
        RequestPendingStop();
    }
}

void MeasurementRun::RequestPendingStop() {
    if (stopPending_) {
        return;
    }
    stopPending_ = true;
    Dispatcher& dispatcher = dispatcher_;
    const std::chrono::milliseconds delay = forcedStopDelay_;
    auto force = liveness_.Guard([this, generation = generation_] { OnForcedStop(generation); });
    try {
        stopTimer_ = std::jthread([&dispatcher, delay, force](std::stop_token stop) {
            std::mutex mutex;
            std::condition_variable_any wake;
            std::unique_lock lock(mutex);
            if (!wake.wait_for(lock, stop, delay, [] { return false; }) && !stop.stop_requested()) {
                dispatcher.Post(force);
            }
        });
    } catch (const std::system_error&) {
        Complete(false);  // without the timer nothing would end the wait
        return;
    }
    view_.ModeChanged();
}

void MeasurementRun::EndPendingStop() {
    stopPending_ = false;
    if (stopTimer_.joinable()) {
        stopTimer_.request_stop();
        stopTimer_.join();
    }
}

void MeasurementRun::OnForcedStop(std::uint64_t generation) {
    data_.windowThread.Check("MeasurementRun::OnForcedStop");
    if (generation == generation_ && measuring_ && stopPending_) {
        Complete(false);
    }
}

Result<MeasurementRun::Limits> MeasurementRun::Validate() const {
    const MeasurementSettings& settings = data_.settings;
    if (data_.table.PairCount() == 0) {
        return WhyNot{kNoPair};
    }
    Limits limits;
    limits.duration = std::chrono::seconds(LeadingInt(settings.durationText));
    if (limits.duration <= std::chrono::seconds::zero()) {
        return WhyNot{kDurationNotPositive};
    }
    if (limits.duration > kMaxDuration) {
        return WhyNot{kDurationTooLong};
    }
    bool anyActive = false;
    for (const PairRecord& pair : data_.table.Pairs()) {
        anyActive = anyActive || pair.config.active;
    }
    if (!anyActive) {
        return WhyNot{kNoActivePair};
    }
    for (const PairRecord& record : data_.table.Pairs()) {
        const PairConfig& pair = record.config;
        const std::string refusal = TrafficRefusal(pair.traffic, settings.protocol);
        if (pair.active && !refusal.empty())
            return WhyNot{refusal};
        // A link-local zone names an interface of this machine: End Point 1 elsewhere has no
        // zone to reach it by, and its EndPoint refuses the command.
        if (pair.active && IsIpv6LinkLocalText(pair.endpoint2) &&
            !environment_.IsThisMachine(pair.endpoint1))
            return WhyNot{LinkLocalRefusal(record.name, pair.endpoint2)};
    }
    const double value = LeadingDouble(settings.ValueText());
    // "nan" or "inf" would reach iperf as its rate argument; they count as no value.
    limits.value = std::isfinite(value) ? value : 0.0;
    if (settings.protocol == Protocol::Udp) {
        if (std::string refusal = ThroughputRefusal(limits.value); !refusal.empty())
            return WhyNot{std::move(refusal)};
        return limits;
    }
    if (limits.value <= 0.0) {
        return WhyNot{kWindowNotPositive};
    }
    if (limits.value > 5.0)
        return WhyNot{kWindowTooLarge};
    return limits;
}

bool MeasurementRun::Start() {
    data_.windowThread.Check("MeasurementRun::Start");
    if (shutDown_ || measuring_ || (gate_ && !gate_->MayStartRun())) {
        return false;
    }
    const Result<Limits> limits = Validate();
    if (!limits) {
        view_.ShowNotice(NoticeKind::Message, limits.Why());
        return false;
    }
    const std::chrono::seconds duration = limits->duration;
    const std::string rateText = RateText(limits->value);

    environment_.EndLeftoverClients();
    environment_.BroadcastRestart();
    JoinFinishedWorkers();

    ++generation_;
    ticks_.BeginRun(duration, data_.settings.protocol == Protocol::Udp);
    firstTickSeen_ = false;
    stopRequested_ = false;
    data_.highlighted = PairId();
    data_.chart.BeginRun(data_.table.Size() - 1);
    ReserveChart(duration);
    PrepareRows(duration, rateText);
    // The load starts once the workers' delay is over and iperf has run a second.
    environment_.StartRttProbes(RttProbeTargets(data_.table), startDelay_ + kLoadSettles);

    data_.measuredAt.clear();
    measuring_ = true;
    view_.RunStarted();
    view_.ModeChanged();
    view_.RedrawList();
    PairRecord& all = data_.table.All();
    if (!all.config.showTotal) {
        all.config.showTotal = true;
        data_.chart.SetTotalVisible(true, ChartScaleSource::From(data_.table));
    }
    bool anyWorker = false;
    for (const auto& worker : workers_) {
        anyWorker = anyWorker || worker->generation == generation_;
    }
    // Without a single worker nothing would ever end the run.
    if (!anyWorker) {
        Complete(false);
    }
    return true;
}

void MeasurementRun::ReserveChart(std::chrono::seconds duration) {
    const int samples = static_cast<int>(duration.count());
    data_.chart.ReserveSamples(0, samples);
    for (int row = 1; row < data_.table.Size(); ++row) {
        if (data_.table[row].config.active) {
            data_.chart.ReserveSamples(row, samples);
        }
    }
}

void MeasurementRun::PrepareRows(std::chrono::seconds duration, const std::string& rateText) {
    const std::string iperfPath = environment_.IperfPath();
    for (int row = 0; row < data_.table.Size(); ++row) {
        PairRecord& pair = data_.table[row];
        data_.logs.ClearOf(pair.id);
        PairTable::ResetForRun(pair);
        if (row == 0 || !pair.config.active) {
            continue;
        }
        PairRunState& run = pair.run;
        run.finished = false;
        run.result = PairResult::Normal;
        run.iperfPath = iperfPath;
        run.client = environment_.IsThisMachine(pair.config.endpoint1) ? ClientSide::Console
                                                                       : ClientSide::EndPoint1;
        // Here the Console is End Point 1: its link is the interface iperf leaves through.
        if (run.client == ClientSide::Console) {
            if (auto link = environment_.LinkTowards(pair.config.endpoint2))
                data_.links[pair.config.endpoint1] = std::move(*link);
        }
        run.interval = std::to_string(kReportIntervalSeconds);
        run.time = std::to_string(duration.count() + kIperfExtraSeconds);
        run.protocol = data_.settings.protocol;
        run.rateText = rateText;
        if (std::optional<PairFailure> untaken =
                UntakenOption(pair.config, run.protocol, run.client, data_.links)) {
            FailBeforeStart(pair, *untaken);
        } else if (LaunchWorker(row)) {
            pair.figures.state = PairState::Running;
        } else {
            PairFailure failure;
            failure.side = FailureSide::Console;
            FailBeforeStart(pair, failure);
        }
        // Completion turns the text of a row that could not start into "Error".
        pair.figures.statusText = std::string(StatusText(PairState::Running));
    }
}

// The pair ends in Error with its cause while the other pairs run.
void MeasurementRun::FailBeforeStart(PairRecord& pair, const PairFailure& failure) {
    pair.run.finished = true;
    pair.run.result = PairResult::Failed;
    pair.figures.state = PairState::Error;
    pair.run.failure = failure;
}

bool MeasurementRun::LaunchWorker(int row) {
    const PairRecord& pair = data_.table[row];
    PairJob job;
    job.index = row;
    job.remote = pair.run.client == ClientSide::EndPoint1;
    job.endpoint1 = pair.config.endpoint1;
    job.endpoint2 = pair.config.endpoint2;
    job.udp = pair.run.protocol == Protocol::Udp;
    job.interval = pair.run.interval;
    job.time = pair.run.time;
    job.rateText = pair.run.rateText;
    job.parallel = pair.config.parallel;
    job.traffic = pair.config.traffic;
    job.iperfPath = pair.run.iperfPath;

    auto worker = std::make_unique<Worker>();
    worker->pair = pair.id;
    worker->generation = generation_;
    worker->startDelay = startDelay_;
    worker->session = sessions_.Create(job);
    if (!worker->session) {
        return false;
    }
    try {
        worker->thread =
            std::jthread([this, w = worker.get()](std::stop_token stop) { WorkerMain(*w, stop); });
    } catch (const std::system_error&) {
        return false;
    }
    workers_.push_back(std::move(worker));
    return true;
}

void MeasurementRun::WorkerMain(Worker& worker, const std::stop_token& stop) {
    {
        std::unique_lock lock(delayMutex_);
        delayWake_.wait_for(lock, stop, worker.startDelay, [] { return false; });
    }
    MeasurementEnd end = MeasurementEnd::Ended;
    std::optional<PairFailure> failure;
    // A run stopped during the delay must not start traffic after the restart broadcast.
    if (!stop.stop_requested()) {
        WorkerSink sink(*this, worker);
        try {
            end = worker.session->Run(sink, stop);
            failure = worker.session->Failure();
        } catch (...) {
            end = MeasurementEnd::Failed;  // a session that throws has failed; the thread must not
                                           // die with it
        }
    }
    SendFromWorker([&] { OnWorkerEnded(worker.generation, worker.pair, end, failure); });
    // Runs once that Send has returned, so a join from the main thread no longer waits on it.
    // Until then the worker stays listed; Shutdown joins it either way.
    PostFromWorker([&worker] { worker.ended = true; });
}

void MeasurementRun::SendFromWorker(const std::function<void()>& handler) {
    // Close drops queued sends, and the run joins its workers before it is freed; the
    // guard also keeps a call that a dispatcher ran late away from a run that is gone.
    dispatcher_.Send(liveness_.Guard([&] {
        data_.windowThread.Check("MeasurementRun worker event");
        // While this runs, the sending worker waits for it and cannot be joined.
        struct Depth {
            int& depth;
            explicit Depth(int& d) : depth(d) { ++depth; }
            ~Depth() { --depth; }
        } inside(workerEventDepth_);
        handler();
    }));
}

void MeasurementRun::PostFromWorker(std::function<void()> handler) {
    // The worker goes on at once; the guard drops the call once the run is gone.
    dispatcher_.Post(liveness_.Guard([this, handler = std::move(handler)] {
        data_.windowThread.Check("MeasurementRun worker event");
        handler();
    }));
}

void MeasurementRun::JoinFinishedWorkers() {
    std::erase_if(workers_, [](const std::unique_ptr<Worker>& worker) {
        if (!worker->ended) {
            return false;
        }
        worker->thread.join();
        return true;
    });
}

void MeasurementRun::StopWorkers(bool allRuns) {
    // Each stop wakes its worker's start delay and whatever its session waits on.
    for (const auto& worker : workers_) {
        if (allRuns || worker->generation == generation_) {
            worker->thread.request_stop();
        }
    }
}

int MeasurementRun::CurrentRow(std::uint64_t generation, PairId pair) const {
    if (generation != generation_ || !measuring_) {
        return -1;
    }
    return data_.table.Contains(pair) ? data_.table.RowOf(pair) : -1;
}

void MeasurementRun::OnLine(std::uint64_t generation, PairId pair, std::string_view line) {
    const int row = CurrentRow(generation, pair);
    if (stopRequested_ || row < 0) {
        return;
    }
    if (std::optional<std::string> unkeyed = UnauthenticatedAddress(line))
        NoteUnauthenticated(data_.table[row].run, std::move(*unkeyed));
    // The latest round trips first, so that a second this line completes shows them.
    RefreshRttFigures(data_.table, environment_, /*complete=*/false);
    switch (ticks_.HandleLine(row, line)) {
        case LineOutcome::Failure:
            NoteIperfError(row, line);
            Complete(false);
            break;
        case LineOutcome::TickProcessed:
            firstTickSeen_ = true;
            if (ticks_.Ticks() % kRttSummaryEveryTicks == 0) {
                RefreshRttFigures(data_.table, environment_, /*complete=*/true);
            }
            if (ticks_.DurationReached()) {
                Complete(true);
            } else if (stopPending_) {
                Complete(false);
            }
            break;
        default:
            break;
    }
}

void MeasurementRun::OnStreamEnded(std::uint64_t generation, PairId pair) {
    if (!stopRequested_ && CurrentRow(generation, pair) >= 0) {
        firstTickSeen_ = true;
        if (stopPending_) {
            Complete(false);
        }
    }
}

void MeasurementRun::OnWorkerEnded(std::uint64_t generation, PairId id, MeasurementEnd end,
                                   const std::optional<PairFailure>& failure) {
    if (generation != generation_ || !data_.table.Contains(id)) {
        return;
    }
    PairRecord* pair = data_.table.Find(id);
    pair->run.result = end == MeasurementEnd::Ended ? PairResult::Normal : PairResult::Failed;
    if (stopRequested_ || !measuring_) {
        return;
    }
    pair->run.finished = true;
    if (pair->figures.count < ticks_.Duration().count()) {
        pair->figures.state = PairState::Error;
        NoteEarlyEnd(*pair, failure);
        Complete(false);
        return;
    }
    for (const PairRecord& pair : data_.table.Pairs()) {
        if (pair.config.active && !pair.run.finished) {
            return;
        }
    }
    Complete(true);
}

// The stream of either mode carries End Point 2's server output.
void MeasurementRun::NoteIperfError(int row, std::string_view line) {
    PairRecord& pair = data_.table[row];
    if (pair.run.failure) {
        return;
    }
    PairFailure failure;
    failure.kind = FailureKind::IperfError;
    failure.side = FailureSide::EndPoint2;
    failure.address = pair.config.endpoint2;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
        line.remove_suffix(1);
    }
    failure.detail = std::string(line.substr(0, PairLog::kMaxLineBytes));
    pair.run.failure = std::move(failure);
}

// A session that could not say why is reported as a stream that ended early.
void MeasurementRun::NoteEarlyEnd(PairRecord& pair, const std::optional<PairFailure>& failure) {
    std::optional<PairFailure>& noted = pair.run.failure;
    if (noted) {
        return;
    }
    if (failure) {
        noted = failure;
    } else {
        const bool remote = pair.run.client == ClientSide::EndPoint1;
        PairFailure early;
        early.kind = FailureKind::EndedEarly;
        early.side = remote ? FailureSide::EndPoint1 : FailureSide::EndPoint2;
        early.address = remote ? pair.config.endpoint1 : pair.config.endpoint2;
        noted = std::move(early);
    }
    if (noted->kind == FailureKind::EndedEarly) {
        noted->seconds = pair.figures.count;
        noted->duration = ticks_.Duration();
    }
}

// The operator opens the log to learn why: the cause goes before iperf's lines.
void MeasurementRun::PutCauseFirst(int row) {
    const PairRecord& pair = data_.table[row];
    if (!pair.run.failure) {
        return;
    }
    PairLog& log = data_.logs.Of(pair.id);
    PairLog withCause;
    for (const std::string& line : FailureLines(*pair.run.failure)) {
        withCause.Append(line);
    }
    for (std::size_t i = 0; i < log.Size(); ++i) {
        withCause.Append(log.Text(i), log.Counted(i));
    }
    log = std::move(withCause);
    view_.LogChanged(pair.id);
}

void MeasurementRun::Complete(bool completed) {
    data_.windowThread.Check("MeasurementRun::Complete");
    if (!measuring_) {
        return;
    }
    stopRequested_ = true;
    EndPendingStop();
    StopWorkers(false);
    environment_.StopRttProbes();
    RefreshRttFigures(data_.table, environment_, /*complete=*/true);
    environment_.EndLeftoverClients();
    environment_.BroadcastRestart();
    // Unblocks receives on the control connections; the workers close their sockets.
    for (const auto& worker : workers_) {
        if (worker->generation == generation_ && !worker->ended) {
            worker->session->Abort();
        }
    }
    bool errorNoted = false;
    FinishPairStates(completed, errorNoted);
    if (!closing_) {
        data_.chart.FinishRun(ticks_.Ticks(), ChartScaleSource::From(data_.table));
        view_.RedrawList();
        ShowOutcome(completed, errorNoted);
        data_.measuredAt = FormatMeasuredAt(std::chrono::system_clock::now());
    }
    measuring_ = false;
    firstTickSeen_ = false;
    view_.ModeChanged();
}

void MeasurementRun::FinishPairStates(bool completed, bool& errorNoted) {
    for (int row = 1; row < data_.table.Size(); ++row) {
        PairRecord& record = data_.table[row];
        if (!record.config.active) {
            continue;
        }
        PairFigures& pair = record.figures;
        if (pair.state == PairState::Error) {
            errorNoted = true;
            PutCauseFirst(row);
        } else {
            pair.state = completed ? PairState::Done : PairState::Stopped;
        }
        pair.statusText = std::string(StatusText(pair.state));
    }
}

void MeasurementRun::ShowOutcome(bool completed, bool errorNoted) {
    if (completed) {
        view_.ShowNotice(NoticeKind::Completed, kCompleted);
    } else if (errorNoted) {
        view_.ShowNotice(NoticeKind::Message, kFailed);
    } else {
        view_.ShowNotice(NoticeKind::Message, kStopped);
    }
}

void MeasurementRun::Quit() {
    data_.windowThread.Check("MeasurementRun::Quit");
    closing_ = true;
    // Workers first: one still setting up its pair could otherwise start iperf after the
    // "restart" that is meant to end them all.
    Shutdown();
    environment_.EndLeftoverClients();
    environment_.BroadcastRestart();
}

void MeasurementRun::Shutdown() {
    data_.windowThread.Check("MeasurementRun::Shutdown");
    if (!shutDown_) {
        shutDown_ = true;
        // Closed first: a worker blocked in Send returns, so the joins below cannot hang.
        dispatcher_.Close();
        stopRequested_ = true;
        EndPendingStop();
        StopWorkers(true);
        environment_.StopRttProbes();
        for (const auto& worker : workers_) {
            if (!worker->ended) {
                worker->session->Abort();
            }
        }
    }
    // Called from a handler of a worker's event, that worker waits for the handler to
    // return: the joins are left to the destructor.
    if (workerEventDepth_ > 0) {
        return;
    }
    for (const auto& worker : workers_) {
        worker->thread.join();
    }
    workers_.clear();
}

}  // namespace quarn::console
