#include "console/session/console_session.h"

#include "console/net/endpoint_search.h"
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
    return options;
}

ConsoleSession::ConsoleSession(SessionOptions options, Dispatcher& dispatcher)
    : options_(Resolved(std::move(options))),
      discovery_(MakeDiscovery(options_)),
      dispatcher_(dispatcher),
      network_(options_.iperfPath, discovery_),
      clients_(MakeClientSettings(options_)),
      environment_(options_.environment ? *options_.environment : network_),
      run_(data_, view_, dispatcher_, options_.sessions ? *options_.sessions : clients_,
           environment_),
      search_(discovery_, dispatcher_) {}

ConsoleSession::~ConsoleSession() {
    Shutdown();
}

bool ConsoleSession::StartSearch(std::function<void(const Outcome& found)> done) {
    if (run_.Mode() != ConsoleMode::Idle)
        return false;
    const bool started =
        search_.Start([this, done = std::move(done)](std::vector<EndPointEntry> found) {
            if (quitting_)
                return;
            run_.SetMode(ConsoleMode::Idle);
            const Outcome applied = data_.ApplySearchResult(std::move(found));
            if (done)
                done(applied);
        });
    if (!started)
        return false;
    data_.BeginSearch();
    run_.SetMode(ConsoleMode::Searching);
    return true;
}

Outcome ConsoleSession::SearchNow(const std::stop_token& stop) {
    data_.BeginSearch();
    return data_.ApplySearchResult(SearchEndPoints(discovery_, stop));
}

bool ConsoleSession::SetLabKey(std::optional<labkey::LabKey> key) {
    if (run_.Mode() != ConsoleMode::Idle || quitting_ || !search_.SetLabKey(key))
        return false;
    options_.labKey = key;
    discovery_.labKey = key;
    network_.SetLabKey(key);
    clients_.SetLabKey(std::move(key));
    return true;
}

FileSession& ConsoleSession::OpenFiles(FileSessionHost& host, FileDialogs& dialogs,
                                       std::string configFolder) {
    files_.reset();  // an earlier flow's worker ends before the new one starts
    files_ =
        std::make_unique<FileSession>(data_, dispatcher_, host, dialogs, std::move(configFolder));
    return *files_;
}

void ConsoleSession::Quit() {
    if (quitting_)
        return;
    quitting_ = true;
    // Closes the dispatcher, ends and joins the workers, ends own iperf clients and
    // broadcasts "restart"; a search still running is cancelled and joined after that.
    run_.Quit();
    search_.Stop();
}

void ConsoleSession::Shutdown() {
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

void ConsoleSession::ForwardingView::TickProcessed(int ticks, int duration) {
    if (target)
        target->TickProcessed(ticks, duration);
}

void ConsoleSession::ForwardingView::ModeChanged() {
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
    if (target)
        target->RunStarted();
}

}  // namespace quarn::console
