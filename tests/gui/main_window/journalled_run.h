#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quarn::gui_test {

// One pair of a run written straight into the history: its addresses and what it measured
// in each second.
struct JournalledPair {
    std::pair<std::string, std::string> addresses;
    std::function<float(int second)> mbitPerS;
    std::function<std::optional<double>(int second)> rttMs = [](int) { return std::nullopt; };
    std::function<std::optional<double>(int second)> lossPercent = [](int) { return std::nullopt; };
};

// Journals a run of `seconds` seconds that began an hour ago as run `id` of `historyDir`;
// without `finished` it lacks its closing record, as after a crash. False when the journal
// cannot be opened.
bool WriteJournalledRun(const std::string& historyDir, const std::string& id, int seconds,
                        const std::vector<JournalledPair>& pairs, bool udp, bool finished);

}  // namespace quarn::gui_test
