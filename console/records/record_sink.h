#pragma once

#include <string_view>

#include "console/records/record_lines.h"

namespace quarn::console::records {

// Where a run's records go: a JSON Lines stream, the journal.
class RecordSink {
  public:
    virtual ~RecordSink() = default;
    // One record, without its line end.
    virtual void Write(std::string_view line) = 0;
    // One pair's record of a second, not yet encoded: true when the sink keeps it and
    // encodes it itself (off the main thread); false to be handed its text through Write.
    virtual bool WriteSecond(const SecondRecord& /*second*/) { return false; }
    // Every record of one processed second has been written.
    virtual void SecondEnded() {}
    // The run's closing record has been written; nothing follows.
    virtual void RunEnded() {}
};

}  // namespace quarn::console::records
