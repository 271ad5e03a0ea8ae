#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "console/core/console_data.h"
#include "console/records/record_format.h"
#include "console/records/record_sink.h"

namespace quarn::console::records {

// Turns a run of the Console's core into records: the head at its start, one record per
// active pair for each processed second, the summaries at its end. Main thread only; it
// reads the pair table right after the core has updated it.
class RecordSource {
  public:
    using TimePoint = std::chrono::system_clock::time_point;

    void AddSink(RecordSink& sink) { sinks_.push_back(&sink); }

    // The run has started (rows reset, workers launched).
    void Begin(const ConsoleData& data, std::string runId, TimePoint now);
    // A second was processed: data.ticks is its number.
    void Second(const ConsoleData& data, TimePoint now);
    // The run has ended; `outcome` as RunOutcome gives it, or "quit".
    void End(const ConsoleData& data, const std::string& outcome, TimePoint now);

    // The runs begun from now on are tagged as this plan's step (none: an empty plan).
    void SetTags(PlanTags tags) { tags_ = std::move(tags); }

    bool Active() const { return active_; }
    const std::string& RunId() const { return runId_; }

  private:
    void Emit(const std::string& line);
    void EmitSecond(const SecondView& view);

    std::vector<RecordSink*> sinks_;
    std::string runId_;
    PlanTags tags_;
    bool active_ = false;
};

// The run's head from the table and settings as they are at the start.
RunHead MakeHead(const ConsoleData& data, const std::string& runId, const std::string& started);
// "completed", "stopped" or "failed", from the pair states after the core's completion.
std::string RunOutcome(const PairTable& table);
// The number records know a pair by, its number within its run: the row it stood in
// when the run began (1 for the first pair; rows never move during a run), so a journal
// reads the same whichever process wrote it. Not the PairId, which no record holds.
long long PairNumberInRun(const PairTable& table, PairId id);
// A new run id: the UTC start time and a random suffix, so ids sort by start.
std::string NewRunId(std::chrono::system_clock::time_point now);

}  // namespace quarn::console::records
