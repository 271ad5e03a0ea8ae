#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "console/records/record_format.h"

namespace quarn::console::records {

// One pair's record of a second, its strings as views into what the caller holds (valid
// during the call), so handing it on copies no string unless the sink keeps it.
struct SecondView {
    // The time, formatted by whoever encodes the record (off the main thread), or the text
    // of `time` when unset.
    std::optional<std::chrono::system_clock::time_point> at;
    std::string_view time;
    std::string_view run;
    long long pair = 0;
    std::string_view name;
    std::string_view endpoint1;
    std::string_view endpoint2;
    int second = 0;
    double mbitPerS = 0.0;
    QualityFigures quality;
    RunQualityFigures runQuality;
};

inline SecondView ViewOf(const SecondRecord& r) {
    return {std::nullopt, r.time,   r.run,      r.pair,    r.name,      r.endpoint1,
            r.endpoint2,  r.second, r.mbitPerS, r.quality, r.runQuality};
}

inline SecondRecord RecordOf(const SecondView& v) {
    return {v.at ? FormatUtc(*v.at) : std::string(v.time),
            std::string(v.run),
            v.pair,
            std::string(v.name),
            std::string(v.endpoint1),
            std::string(v.endpoint2),
            v.second,
            v.mbitPerS,
            v.quality,
            v.runQuality};
}

// Where a run's records go: a JSON Lines stream, the journal.
class RecordSink {
  public:
    virtual ~RecordSink() = default;
    // One record, without its line end.
    virtual void Write(std::string_view line) = 0;
    // One pair's record of a second, not yet encoded: true when the sink keeps it and
    // encodes it itself (off the main thread); false to be handed its text through Write.
    virtual bool WriteSecond(const SecondView& /*second*/) { return false; }
    bool WriteSecond(const SecondRecord& second) { return WriteSecond(ViewOf(second)); }
    // Every record of one processed second has been written.
    virtual void SecondEnded() {}
    // The run's closing record has been written; nothing follows.
    virtual void RunEnded() {}
};

}  // namespace quarn::console::records
