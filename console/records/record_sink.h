#pragma once

#include <string_view>

namespace quarn::console::records {

// Where a run's records go: a JSON Lines stream, the journal.
class RecordSink {
  public:
    virtual ~RecordSink() = default;
    // One record, without its line end.
    virtual void Write(std::string_view line) = 0;
    // Every record of one processed second has been written.
    virtual void SecondEnded() {}
    // The run's closing record has been written; nothing follows.
    virtual void RunEnded() {}
};

}  // namespace quarn::console::records
