#include "tests/gui/main_window/journalled_run.h"

#include <chrono>

#include "console/core/console_data.h"
#include "console/records/journal_directory.h"
#include "console/records/journal_writer.h"
#include "console/records/record_source.h"

namespace quarn::gui_test {

bool WriteJournalledRun(const std::string& historyDir, const std::string& id, int seconds,
                        const std::vector<JournalledPair>& pairs, bool udp, bool finished) {
    console::ConsoleData data;
    data.settings.protocol = udp ? console::Protocol::Udp : console::Protocol::Tcp;
    for (const JournalledPair& pair : pairs) {
        console::PairRecord record;
        record.config.endpoint1 = pair.addresses.first;
        record.config.endpoint2 = pair.addresses.second;
        data.table.AppendPair(std::move(record));
    }
    console::records::JournalWriter journal;
    if (!journal.Open(console::records::JournalPath(historyDir, id)))
        return false;
    console::records::RecordSource recorder;
    recorder.AddSink(journal);
    const auto start = std::chrono::system_clock::now() - std::chrono::hours(1);
    recorder.Begin(data, id, start);
    for (int tick = 1; tick <= seconds; ++tick) {
        data.ticks = tick;
        for (std::size_t i = 0; i < pairs.size(); ++i) {
            console::PairRecord& record = data.table[static_cast<int>(i) + 1];
            record.figures.current = pairs[i].mbitPerS(tick);
            record.figures.quality.lastRttMs = pairs[i].rttMs(tick);
            record.figures.quality.lastLossPercent = pairs[i].lossPercent(tick);
        }
        recorder.Second(data, start + std::chrono::seconds(tick));
    }
    if (finished)
        recorder.End(data, "completed", start + std::chrono::seconds(seconds + 1));
    return true;
}

}  // namespace quarn::gui_test
