#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "bench/server_lines.h"
#include "console/core/console_data.h"
#include "console/core/console_view.h"
#include "console/core/tick_processor.h"
#include "console/records/record_source.h"

namespace quarn::console::records::test {

// A run fed through the real TickProcessor with generated iperf server output; every
// processed second goes to the recorder, one simulated second apart.
class FedRun : public ConsoleView {
  public:
    static constexpr const char* kRunId = "20261209-010000-abcd";

    explicit FedRun(int pairs, int streams = 1);
    void ShowNotice(NoticeKind, std::string_view) override {}
    void TickProcessed(int, std::chrono::seconds) override;

    // Starts the run (head record) with `duration` seconds; a UDP run's lines also feed
    // the loss figures.
    void Begin(int duration, bool udp = false);
    // Feeds the warm-up and then `seconds` processed seconds.
    void Feed(int seconds);
    // Ends the run as the core's completion would; returns the outcome written.
    std::string End(bool completed);

    ConsoleData data;
    RecordSource recorder;
    TickProcessor ticks{data, *this};
    std::chrono::system_clock::time_point clock =
        std::chrono::system_clock::time_point(std::chrono::seconds(1'796'000'000));
    // Per processed second, each active pair's value, as the core had it.
    std::vector<std::vector<float>> values;

  private:
    void FeedInterval(long long interval);

    int streams_;
    long long nextInterval_ = 0;
    std::vector<bench::ServerLines> servers_;
};

}  // namespace quarn::console::records::test
