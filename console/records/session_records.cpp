#include "console/records/session_records.h"

#include <chrono>

#include "console/records/journal_directory.h"
#include "console/records/journal_reader.h"
#include "console/records/run_restore.h"

namespace quarn::console::records {

SessionRecords::SessionRecords(std::string historyDir, std::uintmax_t historyLimit)
    : historyDir_(std::move(historyDir)), historyLimit_(historyLimit) {
    // A journal that is not open takes nothing, so it stays a sink from run to run.
    recorder_.AddSink(journal_);
}

bool SessionRecords::OpenJsonl(const std::string& path, std::FILE* standardOutput) {
    if (!jsonl_.Open(path, standardOutput))
        return false;
    if (!jsonlOpen_)
        recorder_.AddSink(jsonl_);
    jsonlOpen_ = true;
    return true;
}

bool SessionRecords::ServeMetrics(const ListenAddress& where, const ConsoleData& data) {
    metricsServed_ = metrics_.Start(where);
    PublishMetrics(data, false);
    return metricsServed_;
}

void SessionRecords::PublishMetrics(const ConsoleData& data, bool measuring) {
    if (metricsServed_)
        metrics_.Publish(RenderMetrics(collector_.Collect(data, measuring)));
}

Outcome SessionRecords::Begin(const ConsoleData& data) {
    const auto now = std::chrono::system_clock::now();
    const std::string runId = NewRunId(now);
    Outcome journal = Outcome::Done();
    if (!historyDir_.empty()) {
        const std::string path = records::JournalPath(historyDir_, runId);
        if (MakeJournalDirectory(historyDir_) && journal_.Open(path)) {
            CapHistory(historyDir_, historyLimit_, runId);
        } else {
            journal = Outcome::Failed("Cannot write the run's journal: " + path);
        }
    }
    fullWaitsBefore_ = journal_.FullWaits();
    recorder_.Begin(data, runId, now);
    collector_.BeginRun(data);
    PublishMetrics(data, true);
    return journal;
}

void SessionRecords::Second(const ConsoleData& data) {
    recorder_.Second(data, std::chrono::system_clock::now());
    PublishMetrics(data, true);
}

std::string SessionRecords::End(const ConsoleData& data, bool quit) {
    recorder_.End(data, quit ? "quit" : RunOutcome(data.table), std::chrono::system_clock::now());
    PublishMetrics(data, false);
    return JournalWaitNote(journal_.FullWaits() - fullWaitsBefore_);
}

std::string JournalWaitNote(long long waits) {
    if (waits <= 0)
        return {};
    return "The run waited " + std::to_string(waits) + (waits == 1 ? " time" : " times") +
           " for the disk while its journal was written.";
}

Outcome RecoverRun(const std::string& historyDir, const std::optional<std::string>& id,
                   ConsoleData& data) {
    const std::optional<RunInfo> run = id ? FindRun(historyDir, *id) : LatestUnfinished(historyDir);
    if (!run)
        return Outcome::Failed(id ? "No run " + *id + " in the history."
                                  : "No unfinished run in the history.");
    if (run->running)
        return Outcome::Failed("The run " + run->id + " is still being measured.");
    const std::optional<JournalContent> content = ReadJournal(run->path);
    if (!content)
        return Outcome::Failed("Cannot read the journal: " + run->path);
    RestoreRun(*content, data);
    return Outcome::Done();
}

}  // namespace quarn::console::records
