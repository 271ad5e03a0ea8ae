#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "console/core/console_data.h"
#include "console/core/outcome.h"
#include "console/records/journal_writer.h"
#include "console/records/jsonl_stream.h"
#include "console/records/metrics_server.h"
#include "console/records/metrics_text.h"
#include "console/records/record_source.h"
#include "console/records/run_history.h"

namespace quarn::console::records {

// Everything a Console session records of its runs: the journal in the history (kept
// under its size limit), an optional JSON Lines stream and an optional metrics page.
// Main thread only.
class SessionRecords {
  public:
    // `historyDir` empty: no journal.
    explicit SessionRecords(std::string historyDir,
                            std::uintmax_t historyLimit = kDefaultHistoryLimit);

    // "-" for standard output; false when the file cannot be created.
    bool OpenJsonl(const std::string& path, std::FILE* standardOutput = stdout);
    // Serves the metrics page from now on; false when the address cannot be bound.
    bool ServeMetrics(const ListenAddress& where, const ConsoleData& data);
    std::uint16_t MetricsPort() const { return metrics_.Port(); }
    // A run has started. Fails with a warning to show when its journal could not be
    // created; the run goes on without it.
    Outcome Begin(const ConsoleData& data);
    void Second(const ConsoleData& data);
    // The runs begun from now on are tagged as this plan's step.
    void SetPlanTags(PlanTags tags) { recorder_.SetTags(std::move(tags)); }
    // The run has ended; `quit` when the Console closed during it. Returns a note to show
    // when the journal's disk made the run wait, else an empty string.
    std::string End(const ConsoleData& data, bool quit = false);

    bool JsonlGood() const { return jsonl_.Good(); }
    const std::string& RunId() const { return recorder_.RunId(); }
    const std::string& JournalPath() const { return journal_.Path(); }

  private:
    void PublishMetrics(const ConsoleData& data, bool measuring);

    std::string historyDir_;
    std::uintmax_t historyLimit_;
    bool jsonlOpen_ = false;
    long long fullWaitsBefore_ = 0;  // the journal's count when the run began
    RecordSource recorder_;
    JournalWriter journal_;
    JsonlStream jsonl_;
    bool metricsServed_ = false;
    MetricsCollector collector_;
    MetricsServer metrics_;  // last: its thread stops before the rest goes
};

// What End reports for a run that waited `waits` times for the journal's disk; empty for
// none.
std::string JournalWaitNote(long long waits);

// Loads a run of the history into `data` as a stopped run. Without an id, the latest run
// that did not finish.
Outcome RecoverRun(const std::string& historyDir, const std::optional<std::string>& id,
                   ConsoleData& data);

}  // namespace quarn::console::records
