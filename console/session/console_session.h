#pragma once

#include <atomic>
#include <stop_token>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/core/console_data.h"
#include "console/core/console_view.h"
#include "console/core/dispatcher.h"
#include "console/core/measurement_run.h"
#include "console/core/pair_session.h"
#include "console/core/run_environment.h"
#include "console/files/file_session.h"
#include "console/net/control_client_factory.h"
#include "console/net/discovery_options.h"
#include "console/net/network_run_environment.h"
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
    PairSessionFactory* sessions = nullptr;
    RunEnvironment* environment = nullptr;
};

// What one Console session is: the data, the run, the network environment, the client
// factory and the EndPoint search, over the front end's dispatcher. The window and the
// headless runner each build one and drive it; what the core reports goes to the view
// the front end attaches. Every call on the dispatcher's (main) thread.
class ConsoleSession {
  public:
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
    ConsoleMode Mode() const { return run_.Mode(); }
    Dispatcher& MainThread() { return dispatcher_; }
    RunEnvironment& Environment() { return environment_; }
    const DiscoveryOptions& Discovery() const { return discovery_; }

    // Uses key (none: unauthenticated) for the pairs, searches and "restart" broadcasts
    // from now on, as a key given at start would be; only between runs and searches, false
    // (nothing changed) otherwise.
    bool SetLabKey(std::optional<labkey::LabKey> key);
    bool Keyed() const { return discovery_.labKey.has_value(); }

    // Starts a search on a thread of its own (Idle mode only); `done` gets its result on
    // the main thread, failed with the notice to show when nothing answered. False when
    // none started.
    bool StartSearch(std::function<void(const Outcome& found)> done);
    // Searches on the calling thread until done or stopped; fails with the notice.
    Outcome SearchNow(const std::stop_token& stop);
    bool Searching() const { return search_.Running(); }

    // The File panel's flow (New, Open, Save, Save as) and the current file, over this
    // session's data. The window opens it with what it shows and asks; replaces one that
    // is open.
    FileSession& OpenFiles(FileSessionHost& host, FileDialogs& dialogs, std::string configFolder);
    // Joins a save or open still running (its result is dropped); before the host goes.
    void CloseFiles() { files_.reset(); }
    // Null while no front end has opened the file flow.
    FileSession* Files() { return files_.get(); }

    // Quits as the confirmed quit question does: no run completion, workers and search
    // ended, own iperf clients ended, "restart" broadcast. Later results are dropped.
    void Quit();
    bool Quitting() const { return quitting_; }
    // Closes the dispatcher and joins every thread of the session; final.
    void Shutdown();

  private:
    // Forwards to the attached view, so the run can be built before the front end.
    struct ForwardingView : ConsoleView {
        void ShowNotice(NoticeKind kind, std::string_view text) override;
        void RedrawList() override;
        void TickProcessed(int ticks, int duration) override;
        void ModeChanged() override;
        void LogChanged(PairId pair) override;
        void LogsCounted(const std::vector<PairId>& pairs) override;
        void RunStarted() override;
        ConsoleView* target = nullptr;
    };

    static SessionOptions Resolved(SessionOptions options);

    SessionOptions options_;
    DiscoveryOptions discovery_;
    Dispatcher& dispatcher_;
    ConsoleData data_;
    ForwardingView view_;
    NetworkRunEnvironment network_;
    ControlClientFactory clients_;
    RunEnvironment& environment_;
    MeasurementRun run_;
    SearchRunner search_;
    std::unique_ptr<FileSession> files_;
    bool quitting_ = false;
};

}  // namespace quarn::console
