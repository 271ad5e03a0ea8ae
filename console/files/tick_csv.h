#pragma once

#include <cstdio>
#include <string>

#include "console/core/pair_table.h"

namespace quarn::console {

// Writes one row per processed second: the tick, each pair's value (empty for an
// inactive pair) and the total. Rows are flushed as they come, so a run that is cut
// short keeps every second it measured.
class TickCsv {
  public:
    TickCsv() = default;
    ~TickCsv();
    TickCsv(const TickCsv&) = delete;
    TickCsv& operator=(const TickCsv&) = delete;

    // Opens (replaces) the file and writes the header; false when it cannot be created.
    bool Open(const std::string& path, const PairTable& table);
    void WriteTick(int tick, const PairTable& table);
    // False once opening or any write failed.
    bool Good() const { return good_; }
    void Close();

  private:
    std::FILE* file_ = nullptr;
    bool good_ = false;
};

}  // namespace quarn::console
