#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "console/core/console_data.h"
#include "console/core/console_view.h"
#include "console/core/dispatcher.h"
#include "console/core/liveness.h"
#include "console/core/pair_measurement.h"
#include "console/core/run_environment.h"
#include "console/core/run_quality.h"
#include "console/core/tick_processor.h"
#include "protocol/traffic_bounds.h"

namespace quarn::console {

// Whether a run may start now: what owns the run knows what else (a search, a file) is under
// way, and a Start called past it is refused all the same.
class RunGate {
  public:
    virtual ~RunGate() = default;
    virtual bool MayStartRun() const = 0;
};

// Starts, feeds, stops and completes a measurement run of all active pairs. Lives on the
// main thread; one worker thread per active pair runs that pair's PairMeasurement and reaches
// the main thread only through the dispatcher. Workers are joined only where none can be
// inside Dispatcher::Send: finished ones at the next Start, all of them in Shutdown (after
// the dispatcher is closed).
class MeasurementRun {
  public:
    static constexpr std::chrono::milliseconds kDefaultStartDelay{2000};
    static constexpr std::chrono::seconds kMaxDuration{259200};
    // iperf runs this much longer than the run; the Console ends the run itself.
    static constexpr int kIperfExtraSeconds = 300;
    static constexpr int kReportIntervalSeconds = 1;
    // Round-trip probes under load start this long after the workers' start delay.
    static constexpr std::chrono::milliseconds kLoadSettles{1000};
    // The loaded RTT median and percentile are refreshed this often during a run.
    static constexpr int kRttSummaryEveryTicks = 10;
    // A Stop pressed before the first processed second waits this long for it.
    static constexpr std::chrono::milliseconds kForcedStopDelay{5000};

    static constexpr const char* kNoPair = "No pair to measure. Add a pair first.";
    static constexpr const char* kDurationNotPositive = "Duration must be greater than 0.";
    static constexpr const char* kDurationTooLong = "Duration can be set from 1 to 259,200 sec.";
    static constexpr const char* kNoActivePair = "No activated pair to measure.";
    static constexpr const char* kThroughputNotPositive = "Throughput must be greater than 0.";
    // Mbit/s: the largest UDP rate an EndPoint runs.
    static constexpr double kMaxThroughput = protocol::kMaxUdpRateBitsPerSecond / 1e6;
    static constexpr const char* kThroughputTooLarge =
        "The max value of Throughput is 100,000Mbps.";
    static constexpr const char* kWindowNotPositive = "Window size must be greater than 0.";
    static constexpr const char* kWindowTooLarge = "The max value of Window size is 5MByte.";
    static constexpr const char* kCompleted = "The current measurement is completed.";
    static constexpr const char* kFailed = "An error is occurred during measurement.";
    static constexpr const char* kStopped = "The current measurement is stopped.";
    static_assert(kMaxDuration.count() + kIperfExtraSeconds == protocol::kMaxRunSeconds,
                  "an EndPoint must take the longest run's time");
    static_assert(kMaxThroughput == 100000, "kThroughputTooLarge names the bound");

    // Without a gate a run may start whenever none is active (a run on its own).
    MeasurementRun(ConsoleData& data, ConsoleView& view, Dispatcher& dispatcher,
                   PairMeasurementFactory& sessions, RunEnvironment& environment,
                   const RunGate* gate = nullptr);
    ~MeasurementRun();
    MeasurementRun(const MeasurementRun&) = delete;
    MeasurementRun& operator=(const MeasurementRun&) = delete;

    // The Start/Stop button: starts when no run is active and stops once the first tick was
    // processed (or a local stream ended). Pressed before that, the stop is pending: it happens at
    // the first processed tick, or kForcedStopDelay later if none comes (a pair that sends
    // lines but never a sample would otherwise hold the run for iperf's whole time).
    void StartOrStop();
    // Validates the settings (a refusal is shown as a notice) and starts the workers. Refused
    // without a notice while the gate says no.
    bool Start();
    // Ends the run: final pair states, chart compression, notice, measuredAt, Idle mode.
    void Complete(bool completed);
    // Quitting: Shutdown, then leftover clients ended and restart broadcast; no completion.
    void Quit();
    // Closes the dispatcher, aborts every session and joins every worker. Final. Called
    // from inside a ConsoleView callback of a worker's event, the joins wait for the
    // destructor (the worker is waiting for that very callback to return).
    void Shutdown();

    // From Start until Complete; the session's mode is Measuring meanwhile.
    bool Measuring() const { return measuring_; }
    bool FirstTickSeen() const { return firstTickSeen_; }
    // A Stop was pressed before the first processed tick and the run is waiting for it.
    bool StopPending() const { return stopPending_; }
    bool StopRequested() const { return stopRequested_.load(); }
    bool Closing() const { return closing_; }
    int Ticks() const { return ticks_.Ticks(); }
    int WarmupTicks() const { return ticks_.WarmupTicks(); }
    std::chrono::seconds Duration() const { return ticks_.Duration(); }
    // Worker threads not yet joined (running or waiting for the next Start).
    std::size_t WorkerThreads() const { return workers_.size(); }

    // Delay before each worker starts its session (default 2000 ms; tests shorten it).
    void SetStartDelay(std::chrono::milliseconds delay) { startDelay_ = delay; }
    // How long a pending stop waits for the first tick (tests shorten it).
    void SetForcedStopDelay(std::chrono::milliseconds delay) { forcedStopDelay_ = delay; }

  private:
    struct Worker;
    class WorkerSink;

    // What a valid run asks for: seconds, and the UDP rate (Mbit/s) or TCP window (MByte).
    struct Limits {
        std::chrono::seconds duration{0};
        double value = 0.0;
    };
    Result<Limits> Validate() const;
    void ReserveChart(std::chrono::seconds duration);
    void PrepareRows(std::chrono::seconds duration, const std::string& rateText);
    bool LaunchWorker(int row);
    void FailBeforeStart(PairRecord& pair, const PairFailure& failure);
    void WorkerMain(Worker& worker, const std::stop_token& stop);
    void SendFromWorker(const std::function<void()>& handler);
    void PostFromWorker(std::function<void()> handler);
    void JoinFinishedWorkers();
    void StopWorkers(bool abortSessions);
    void RequestPendingStop();
    void EndPendingStop();
    void OnForcedStop(std::uint64_t generation);

    // Main-thread handlers of worker events; events of an earlier run are ignored.
    void OnLine(std::uint64_t generation, PairId pair, std::string_view line);
    void OnStreamEnded(std::uint64_t generation, PairId pair);
    void OnWorkerEnded(std::uint64_t generation, PairId pair, MeasurementEnd end,
                       const std::optional<PairFailure>& failure);
    // The pair's row while the run of `generation` goes on and the pair is in it; else -1.
    int CurrentRow(std::uint64_t generation, PairId pair) const;

    void NoteIperfError(int row, std::string_view line);
    void NoteEarlyEnd(PairRecord& pair, const std::optional<PairFailure>& failure);
    void PutCauseFirst(int row);
    void FinishPairStates(bool completed, bool& errorNoted);
    void ShowOutcome(bool completed, bool errorNoted);

    ConsoleData& data_;
    ConsoleView& view_;
    Dispatcher& dispatcher_;
    PairMeasurementFactory& sessions_;
    RunEnvironment& environment_;
    const RunGate* gate_;
    TickProcessor ticks_;

    bool measuring_ = false;
    std::atomic<bool> stopRequested_{false};
    bool firstTickSeen_ = false;
    bool stopPending_ = false;
    bool closing_ = false;
    bool shutDown_ = false;
    int workerEventDepth_ = 0;
    std::uint64_t generation_ = 0;
    std::chrono::milliseconds startDelay_ = kDefaultStartDelay;
    std::chrono::milliseconds forcedStopDelay_ = kForcedStopDelay;
    // Posts the forced stop; it never waits for the main thread, so joining it is safe.
    std::jthread stopTimer_;

    std::vector<std::unique_ptr<Worker>> workers_;
    std::mutex delayMutex_;
    std::condition_variable_any delayWake_;
    Liveness liveness_;  // last member: expires first when the run is destroyed
};

// The rate argument of a run: "%fm" of the window size (TCP) or throughput (UDP).
std::string RateText(double value);

// Why a UDP throughput typed in Mbit/s is refused (the notice's text); empty if it is not.
// A rate that reads as no rate once written for iperf counts as not above 0.
std::string ThroughputRefusal(double mbits);
// Why a pair whose End Point 1 is another machine cannot aim at a link-local End Point 2.
std::string LinkLocalRefusal(const std::string& pairName, const std::string& endpoint2);

}  // namespace quarn::console
