#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "console/core/pair_table.h"

namespace quarn::console {

// Writes one row per processed second: the tick, each pair's value (empty for an
// inactive pair) and the total, then each pair's quality of that second: loss % and
// jitter (UDP runs only) and the latest round trip, empty where there is no figure.
// Rows are flushed as they come, so a run that is cut short keeps every second it
// measured. The header follows the run's protocol, so it is written with the first row;
// a file without any row gets the throughput and RTT columns at Close.
class TickCsv {
  public:
    TickCsv() = default;
    // Without quality columns: throughput only (a chart's samples carry nothing else).
    explicit TickCsv(bool withQuality) : withQuality_(withQuality) {}
    ~TickCsv();
    TickCsv(const TickCsv&) = delete;
    TickCsv& operator=(const TickCsv&) = delete;

    // Opens (replaces) the file; false when it cannot be created.
    bool Open(const std::string& path, const PairTable& table);
    void WriteTick(int tick, const PairTable& table);
    // False once opening or any write failed.
    bool Good() const { return good_; }
    void Close();

  private:
    void WriteHeader(const PairTable& table);
    bool Put(const std::string& text);

    std::FILE* file_ = nullptr;
    bool good_ = false;
    bool withQuality_ = true;
    bool headerWritten_ = false;
    bool udp_ = false;
    // The rows' names at Open, for a header written at Close.
    std::vector<std::string> names_;
};

}  // namespace quarn::console
