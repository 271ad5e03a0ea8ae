#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "console/core/console_data.h"
#include "console/core/console_view.h"
#include "console/core/dispatcher.h"
#include "console/core/measurement_run.h"
#include "console/core/pair_measurement.h"
#include "console/core/run_environment.h"
#include "console/files/file_flow.h"
#include "console/net/control_client_factory.h"
#include "console/net/discovery_options.h"
#include "console/net/network_run_environment.h"
#include "console/records/reference_model.h"
#include "console/records/run_history.h"
#include "console/records/session_records.h"
#include "console/session/search_runner.h"

namespace quarn::console {

struct SessionOptions {
    // Empty: beside this program, then on PATH (QUARN_IPERF overrides).
    std::string iperfPath;
    // Discovery and "restart" go only through these interfaces; empty: all of them.
    std::vector<std::string> interfaces;
    // Pairs and "restart" go authenticated with this key to EndPoints that take it.
    std::optional<labkey::LabKey> labKey;
    // Replace the network's pair sessions and run environment (tests, benchmarks); they
    // must outlive the session.
    PairMeasurementFactory* sessions = nullptr;
    RunEnvironment* environment = nullptr;
    // The run history every run is journalled into, kept under its limit; empty: the
    // user's state folder.
    std::string historyDir;
    std::uintmax_t historyLimit = records::kDefaultHistoryLimit;
    // Where ServeMetrics serves the metrics page, "[ADDR:]PORT"; empty: nowhere.
    std::string metricsAddress;
    // Where OpenJsonLines writes every run's records ("-" standard output); empty: nowhere.
    std::string jsonlPath;
    std::FILE* jsonlStandardOutput = stdout;
};

// What the file flow asks of the front end that opened it. Whether files may be used,
// the FileBusy mode, the notices and the end of a save or open (through the view) are the
// session's own.
class FileFront {
  public:
    virtual ~FileFront() = default;
    // Stores the duration and value edits' texts in the settings (before a save).
    virtual void CommitEditsToSettings() = 0;
    // New: ConsoleData::ResetToNew plus what the windows hold (log windows, list items).
    virtual void PerformNew() = 0;
};

// What one Console session is: the data, the run and its records, the reference, the
// network environment, the client factory and the EndPoint search, over the front end's
// dispatcher. The window and the headless runner each build one and drive it; what the
// core reports goes to the view the front end attaches. Every call on the dispatcher's
// (main) thread.
class ConsoleSession {
  public:
    static constexpr const char* kRecoverNeedsIdle = "A run can be opened only while idle.";

    ConsoleSession(SessionOptions options, Dispatcher& dispatcher);
    ~ConsoleSession();
    ConsoleSession(const ConsoleSession&) = delete;
    ConsoleSession& operator=(const ConsoleSession&) = delete;

    // Where the core's events go from now on; nullptr drops them.
    void AttachView(ConsoleView* view) { view_.target = view; }
    ConsoleView& View() { return view_; }

    ConsoleData& Data() { return data_; }
    const ConsoleData& Data() const { return data_; }
    MeasurementRun& Run() { return run_; }
    // Measuring while the run is active, else what the session itself is doing.
    ConsoleMode Mode() const { return run_.Measuring() ? ConsoleMode::Measuring : activity_; }
    bool Idle() const { return Mode() == ConsoleMode::Idle; }
    // For activities outside a run (Searching, FileBusy and back to Idle); refused while
    // a run is active.
    bool SetMode(ConsoleMode mode);
    // The run's Start, in Idle mode only (the run's gate refuses it otherwise).
    bool StartRun();
    // The Start/Stop button: a run starts in Idle mode only, an active one stops.
    void StartOrStop();
    Dispatcher& MainThread() { return dispatcher_; }
    RunEnvironment& Environment() { return environment_; }
    const DiscoveryOptions& Discovery() const { return discovery_; }

    // Uses key (none: unauthenticated) for the pairs, searches and "restart" broadcasts
    // from now on, as a key given at start would be; only between runs and searches, false
    // (nothing changed) otherwise.
    bool SetLabKey(std::optional<labkey::LabKey> key);
    bool Keyed() const { return discovery_.labKey.has_value(); }

    // Starts a search on a thread of its own (Idle mode only); its end reaches the view on
    // the main thread, with the notice when nothing answered. False when none started.
    bool StartSearch();
    // Searches on the calling thread until done or stopped; fails with the notice.
    Outcome SearchNow(const std::stop_token& stop);
    bool Searching() const { return search_.Running(); }

    // Serves the metrics page at the options' address (nothing without one); fails with
    // the text to show when it cannot be bound.
    Outcome ServeMetrics();
    std::uint16_t MetricsPort() const { return recording_.MetricsPort(); }
    // Writes every run's records to the options' JSON Lines path from now on (nothing
    // without one); fails with the text to show when the file cannot be created.
    Outcome OpenJsonLines();
    bool JsonLinesGood() const { return recording_.JsonlGood(); }
    const std::string& HistoryDir() const { return options_.historyDir; }
    const std::string& JournalPath() const { return recording_.JournalPath(); }
    // The id of the run recorded last (or now).
    const std::string& RunId() const { return recording_.RunId(); }
    // Puts run `id` of the history (without one, the newest that did not finish) into the
    // data as a stopped run; the next Save asks for a name. Idle mode only.
    Outcome RecoverRun(const std::optional<std::string>& id);

    // The run judgements hold the pairs to (and the chart draws behind its curves); the
    // view hears when it is set or cleared.
    const records::ReferenceModel& Reference() const { return reference_; }
    void SetReference(std::unique_ptr<ConsoleData> run, std::string label);
    // The runs started from now on are recorded as this plan's step; an empty plan ends it.
    void SetPlanTags(records::PlanTags tags) { recording_.SetPlanTags(std::move(tags)); }
    void ClearReference();
    // The reference's averages, matched by addresses; none without a reference.
    BaselineAverages Baseline() const;
    // Judges the data as they are against the pass lines and the reference.
    void Judge();

    // The File panel's flow (New, Open, Save, Save as) and the current file, over this
    // session's data, in Idle mode only. The window opens it with what it shows and asks;
    // replaces one that is open.
    FileFlow& OpenFiles(FileFront& front, FileDialogs& dialogs, std::string configFolder);
    // Opens the file at `path` on the calling thread, as the file flow's Open does.
    ConfigResult OpenFileNow(const std::string& path);
    // Joins a save or open still running (its result is dropped); before the host goes.
    void CloseFiles() { files_.reset(); }
    // Null while no front end has opened the file flow.
    FileFlow* Files() { return files_.get(); }

    // Quits as the confirmed quit question does: no run completion, workers and search
    // ended, own iperf clients ended, "restart" broadcast. Later results are dropped.
    void Quit();
    bool Quitting() const { return quitting_; }
    // Closes the dispatcher and joins every thread of the session; final.
    void Shutdown();

  private:
    // Records what the run reports, then forwards it to the attached view, so the run can
    // be built before the front end.
    struct ForwardingView : ConsoleView {
        explicit ForwardingView(ConsoleSession& session) : session(session) {}
        void ShowNotice(NoticeKind kind, std::string_view text) override;
        void RedrawList() override;
        void TickProcessed(int ticks, std::chrono::seconds duration) override;
        void ModeChanged() override;
        void LogChanged(PairId pair) override;
        void LogsCounted(const std::vector<PairId>& pairs) override;
        void RunStarted() override;
        void RecordsNoted(std::string_view note) override;
        void FileBusyChanged(bool busy) override;
        void FileFinished(bool opened) override;
        void ChartChanged() override;
        void ReferenceChanged() override;
        void TableChanged() override;
        void SearchEnded() override;
        void RunJudged() override;
        ConsoleSession& session;
        ConsoleView* target = nullptr;
    };

    // Between the file flow and the front end: answers for the mode and the notices.
    struct FileHost : FileFlowHost {
        explicit FileHost(ConsoleSession& session) : session(session) {}
        bool IsIdle() const override;
        void CommitEditsToSettings() override;
        void PerformNew() override;
        void SetFileBusy(bool busy) override;
        void ShowNotice(NoticeKind kind, std::string_view text) override;
        void FileFinished(FileCommand command, ConfigResult result) override;
        ConsoleSession& session;
        FileFront* front = nullptr;
    };

    static SessionOptions Resolved(SessionOptions options);
    void BeginRecording();
    // The run left Measuring (or the session quits during it): judged unless quitting,
    // then its records end.
    void EndRecording(bool quit);

    SessionOptions options_;
    DiscoveryOptions discovery_;
    Dispatcher& dispatcher_;
    ConsoleData data_;
    ForwardingView view_{*this};
    records::ReferenceModel reference_;
    records::SessionRecords recording_;
    bool recordingRun_ = false;
    NetworkRunEnvironment network_;
    ControlClientFactory clients_;
    RunEnvironment& environment_;
    // Nothing else under way: a Start called on the run directly is held to it as well.
    struct StartGate : RunGate {
        explicit StartGate(const ConsoleSession& session) : session(session) {}
        bool MayStartRun() const override { return session.activity_ == ConsoleMode::Idle; }
        const ConsoleSession& session;
    };
    StartGate startGate_{*this};
    MeasurementRun run_;
    SearchRunner search_;
    FileHost fileHost_{*this};
    std::unique_ptr<FileFlow> files_;
    ConsoleMode activity_ = ConsoleMode::Idle;
    bool quitting_ = false;
};

}  // namespace quarn::console
