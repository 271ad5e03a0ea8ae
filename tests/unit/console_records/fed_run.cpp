#include "tests/unit/console_records/fed_run.h"

#include "console/core/pair_state.h"

namespace quarn::console::records::test {

FedRun::FedRun(int pairs, int streams) : streams_(streams) {
    for (int pair = 1; pair <= pairs; ++pair) {
        PairRecord record;
        record.config.endpoint1 = "198.18.1." + std::to_string(pair);
        record.config.endpoint2 = "198.18.2." + std::to_string(pair);
        record.config.parallel = streams;
        servers_.emplace_back(record.config.endpoint2, record.config.endpoint1, 5000 + pair);
        data.table.AppendPair(std::move(record));
    }
    data.chart.SetPairCount(pairs);
}

void FedRun::Begin(int duration, bool udp) {
    data.settings.durationText = std::to_string(duration);
    data.chart.BeginRun(data.table.PairCount());
    for (int row = 0; row < data.table.Size(); ++row) {
        PairTable::ResetForRun(data.table[row]);
        if (row > 0 && data.table[row].config.active)
            data.table[row].figures.state = PairState::Running;
    }
    ticks.BeginRun(std::chrono::seconds(duration), udp);
    recorder.Begin(data, kRunId, clock);
    for (long long i = 0; i < TickProcessor::kWarmupTicks; ++i)
        FeedInterval(nextInterval_++);
}

void FedRun::Feed(int seconds) {
    for (int i = 0; i < seconds; ++i)
        FeedInterval(nextInterval_++);
}

void FedRun::FeedInterval(long long interval) {
    for (int row = 1; row < data.table.Size(); ++row) {
        if (!data.table[row].config.active)
            continue;
        bench::ServerLines& server = servers_[static_cast<std::size_t>(row - 1)];
        std::string line;
        if (streams_ < 2) {
            server.AppendInterval(interval, line);
            ticks.HandleLine(row, line);
            continue;
        }
        int sum = 0;
        for (int id = 1; id <= streams_; ++id) {
            line.clear();
            sum += server.AppendStreamInterval(interval, id, line);
            ticks.HandleLine(row, line);
        }
        line.clear();
        bench::ServerLines::AppendSumInterval(interval, sum, line);
        ticks.HandleLine(row, line);
    }
}

void FedRun::TickProcessed(int, std::chrono::seconds) {
    clock += std::chrono::seconds(1);
    std::vector<float> second;
    for (int row = 1; row < data.table.Size(); ++row) {
        if (data.table[row].config.active)
            second.push_back(data.table[row].figures.current);
    }
    values.push_back(std::move(second));
    recorder.Second(data, clock);
}

std::string FedRun::End(bool completed) {
    for (int row = 1; row < data.table.Size(); ++row) {
        PairRecord& pair = data.table[row];
        if (pair.config.active && pair.figures.state != PairState::Error)
            pair.figures.state = completed ? PairState::Done : PairState::Stopped;
        pair.figures.statusText = std::string(StatusText(pair.figures.state));
    }
    const std::string outcome = RunOutcome(data.table);
    recorder.End(data, outcome, clock);
    return outcome;
}

}  // namespace quarn::console::records::test
