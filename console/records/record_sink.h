#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "console/records/record_format.h"

namespace quarn::console::records {

// One pair's record of a second, its strings as views into what the caller holds (valid
// during the call), so handing it on copies no string unless the sink keeps it.
struct SecondView : BasicSecondRecord<std::string_view> {
    // The time, formatted by whoever encodes the record (off the main thread), or the text
    // of `time` when unset.
    std::optional<std::chrono::system_clock::time_point> at;
};

inline SecondView ViewOf(const SecondRecord& r) {
    return {WithStrings<std::string_view>(r), std::nullopt};
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
