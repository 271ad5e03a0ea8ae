#pragma once

#include <unordered_map>

#include "console/core/pair_id.h"
#include "console/core/pair_log.h"

namespace quarn::console {

// Every pair's log, by pair id. Kept beside the table rather than in it: a log may hold
// millions of lines, and copies of the table (a save, the clipboard) never want them.
class PairLogs {
  public:
    // The pair's log, made empty on first use. The reference stays valid until the pair's
    // log is erased.
    PairLog& Of(PairId id) { return logs_[id]; }
    // The pair's log, or nullptr when it never got a line.
    const PairLog* Find(PairId id) const {
        const auto found = logs_.find(id);
        return found == logs_.end() ? nullptr : &found->second;
    }
    void Erase(PairId id) { logs_.erase(id); }
    // Empties a log and keeps it (a new run).
    void ClearOf(PairId id) {
        if (const auto found = logs_.find(id); found != logs_.end()) {
            found->second.Clear();
        }
    }
    void Clear() { logs_.clear(); }

  private:
    std::unordered_map<PairId, PairLog> logs_;
};

}  // namespace quarn::console
