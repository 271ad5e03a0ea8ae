#include "console/session/console_session.h"

#include "console/core/run_judgement.h"
#include "console/files/opened_run_state.h"
#include "console/net/endpoint_search.h"
#include "console/records/journal_directory.h"
#include "console/records/run_compare.h"
#include "console/records/run_history.h"
#include "platform/iperf_locator.h"

namespace quarn::console {
namespace {

DiscoveryOptions MakeDiscovery(const SessionOptions& options) {
    DiscoveryOptions discovery;
    discovery.interfaces = options.interfaces;
    discovery.labKey = options.labKey;
    return discovery;
}

ControlClientSettings MakeClientSettings(const SessionOptions& options) {
    ControlClientSettings settings;
    settings.iperfPath = options.iperfPath;
    settings.labKey = options.labKey;
    return settings;
}

}  // namespace

SessionOptions ConsoleSession::Resolved(SessionOptions options) {
    if (options.iperfPath.empty())
        options.iperfPath = platform::FindIperf(platform::OwnExecutableDir());
    if (options.historyDir.empty())
        options.historyDir = records::JournalDirectory();
    return options;
}

ConsoleSession::ConsoleSession(SessionOptions options, Dispatcher& dispatcher)
    : options_(Resolved(std::move(options))),
      discovery_(MakeDiscovery(options_)),
      dispatcher_(dispatcher),
      recording_(options_.historyDir, options_.historyLimit),
      network_(options_.iperfPath, discovery_),
      clients_(MakeClientSettings(options_)),
      environment_(options_.environment ? *options_.environment : network_),
      run_(data_, view_, dispatcher_, options_.sessions ? *options_.sessions : clients_,
           environment_, &startGate_),
      search_(discovery_, dispatcher_) {
    data_.chart.SetView(&view_);
}

ConsoleSession::~ConsoleSession() {
    Shutdown();
}

bool ConsoleSession::SetMode(ConsoleMode mode) {
    if (run_.Measuring() || mode == ConsoleMode::Measuring)
        return false;
    activity_ = mode;
    return true;
}

bool ConsoleSession::StartRun() {
    return run_.Start();
}

void ConsoleSession::StartOrStop() {
    run_.StartOrStop();
}

Outcome ConsoleSession::ServeMetrics() {
    const std::string& address = options_.metricsAddress;
    if (address.empty())
        return Outcome::Done();
    const Result<records::ListenAddress> where = records::ParseListenAddress(address);
    if (!where || !recording_.ServeMetrics(*where, data_))
        return Outcome::Failed("Cannot serve metrics on " + address);
    return Outcome::Done();
}

Outcome ConsoleSession::OpenJsonLines() {
    const std::string& path = options_.jsonlPath;
    if (path.empty() || recording_.OpenJsonl(path, options_.jsonlStandardOutput))
        return Outcome::Done();
    return Outcome::Failed("Cannot create the JSON Lines file: " + path);
}

Outcome ConsoleSession::RecoverRun(const std::optional<std::string>& id) {
    if (!Idle())
        return Outcome::Failed(kRecoverNeedsIdle);
    const Outcome recovered = records::RecoverRun(options_.historyDir, id, data_);
    if (!recovered)
        return recovered;
    ApplyOpenedRunState(data_);
    if (files_)
        files_->ForgetCurrentFile();
    return recovered;
}

void ConsoleSession::SetReference(std::unique_ptr<ConsoleData> run, std::string label) {
    reference_.Set(std::move(run), std::move(label));
    view_.ReferenceChanged();
}

void ConsoleSession::ClearReference() {
    if (reference_.Clear())
        view_.ReferenceChanged();
}

BaselineAverages ConsoleSession::Baseline() const {
    if (!reference_.Active())
        return {};
    return records::BaselineOf(data_.table, reference_.Run()->table);
}

void ConsoleSession::Judge() {
    data_.judgement = JudgeRun(data_, Baseline());
}

void ConsoleSession::BeginRecording() {
    recordingRun_ = true;
    data_.judgement.reset();
    if (const Outcome journal = recording_.Begin(data_); !journal)
        view_.RecordsNoted(journal.Why());
}

void ConsoleSession::EndRecording(bool quit) {
    if (!recordingRun_)
        return;
    recordingRun_ = false;
    // Judged before the summaries, which carry the verdicts.
    if (!quit)
        Judge();
    if (const std::string note = recording_.End(data_, quit); !note.empty())
        view_.RecordsNoted(note);
    if (!quit && data_.judgement) {
        for (const PairId pair : LogJudgement(*data_.judgement, AnyPassLine(data_), data_.logs))
            view_.LogChanged(pair);
        view_.RunJudged();
    }
}

bool ConsoleSession::StartSearch() {
    if (!Idle())
        return false;
    const bool started = search_.Start([this](std::vector<EndPointEntry> found) {
        if (quitting_)
            return;
        SetMode(ConsoleMode::Idle);
        const Outcome applied = data_.ApplySearchResult(std::move(found));
        view_.SearchEnded();
        view_.RedrawList();  // names may now replace addresses
        if (!applied)
            view_.ShowNotice(NoticeKind::Message, applied.Why());
    });
    if (!started)
        return false;
    data_.BeginSearch();
    SetMode(ConsoleMode::Searching);
    return true;
}

Outcome ConsoleSession::SearchNow(const std::stop_token& stop) {
    data_.BeginSearch();
    return data_.ApplySearchResult(SearchEndPoints(discovery_, stop));
}

bool ConsoleSession::SetLabKey(std::optional<labkey::LabKey> key) {
    if (!Idle() || quitting_ || !search_.SetLabKey(key))
        return false;
    options_.labKey = key;
    discovery_.labKey = key;
    network_.SetLabKey(key);
    clients_.SetLabKey(std::move(key));
    return true;
}

FileFlow& ConsoleSession::OpenFiles(FileFront& front, FileDialogs& dialogs,
                                    std::string configFolder) {
    files_.reset();  // an earlier flow's worker ends before the new one starts
    fileHost_.front = &front;
    files_ =
        std::make_unique<FileFlow>(data_, dispatcher_, fileHost_, dialogs, std::move(configFolder));
    return *files_;
}

bool ConsoleSession::FileHost::IsIdle() const {
    return session.Idle();
}

void ConsoleSession::FileHost::CommitEditsToSettings() {
    front->CommitEditsToSettings();
}

void ConsoleSession::FileHost::PerformNew() {
    front->PerformNew();
}

void ConsoleSession::FileHost::SetFileBusy(bool busy) {
    session.SetMode(busy ? ConsoleMode::FileBusy : ConsoleMode::Idle);
    session.view_.FileBusyChanged(busy);
}

void ConsoleSession::FileHost::ShowNotice(NoticeKind kind, std::string_view text) {
    session.view_.ShowNotice(kind, text);
}

void ConsoleSession::FileHost::FileFinished(FileCommand command, ConfigResult) {
    session.view_.FileFinished(command == FileCommand::Open);
}

ConfigResult ConsoleSession::OpenFileNow(const std::string& path) {
    const ConfigResult result = ReadConfigFile(path, data_, [this] { data_.ResetToNew(); });
    ApplyOpenedFile(data_);
    return result;
}

void ConsoleSession::Quit() {
    if (quitting_)
        return;
    quitting_ = true;
    EndRecording(true);
    // Closes the dispatcher, ends and joins the workers, ends own iperf clients and
    // broadcasts "restart"; a search still running is cancelled and joined after that.
    run_.Quit();
    search_.Stop();
}

void ConsoleSession::Shutdown() {
    // A session closed mid-run leaves its journal closed as quit, not as a crash.
    EndRecording(true);
    // The dispatcher closes first, so no worker or search result arrives any more.
    run_.Shutdown();
    search_.Stop();
    files_.reset();
}

void ConsoleSession::ForwardingView::ShowNotice(NoticeKind kind, std::string_view text) {
    if (target)
        target->ShowNotice(kind, text);
}

void ConsoleSession::ForwardingView::RedrawList() {
    if (target)
        target->RedrawList();
}

void ConsoleSession::ForwardingView::TickProcessed(int ticks, std::chrono::seconds duration) {
    if (session.recordingRun_)
        session.recording_.Second(session.data_);
    if (target)
        target->TickProcessed(ticks, duration);
}

void ConsoleSession::ForwardingView::ModeChanged() {
    if (!session.run_.Measuring())
        session.EndRecording(session.quitting_);
    if (target)
        target->ModeChanged();
}

void ConsoleSession::ForwardingView::LogChanged(PairId pair) {
    if (target)
        target->LogChanged(pair);
}

void ConsoleSession::ForwardingView::LogsCounted(const std::vector<PairId>& pairs) {
    if (target)
        target->LogsCounted(pairs);
}

void ConsoleSession::ForwardingView::RunStarted() {
    session.BeginRecording();
    if (target)
        target->RunStarted();
}

void ConsoleSession::ForwardingView::RecordsNoted(std::string_view note) {
    if (target)
        target->RecordsNoted(note);
}

void ConsoleSession::ForwardingView::FileBusyChanged(bool busy) {
    if (target)
        target->FileBusyChanged(busy);
}

void ConsoleSession::ForwardingView::FileFinished(bool opened) {
    if (target)
        target->FileFinished(opened);
}

void ConsoleSession::ForwardingView::ChartChanged() {
    if (target)
        target->ChartChanged();
}

void ConsoleSession::ForwardingView::ReferenceChanged() {
    if (target)
        target->ReferenceChanged();
}

void ConsoleSession::ForwardingView::TableChanged() {
    if (target)
        target->TableChanged();
}

void ConsoleSession::ForwardingView::SearchEnded() {
    if (target)
        target->SearchEnded();
}

void ConsoleSession::ForwardingView::RunJudged() {
    if (target)
        target->RunJudged();
}

}  // namespace quarn::console
