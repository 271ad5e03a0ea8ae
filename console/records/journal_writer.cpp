#include "console/records/journal_writer.h"

#include <algorithm>

namespace quarn::console::records {

JournalWriter::~JournalWriter() {
    StopWriter();
}

bool JournalWriter::Open(const std::string& path, int compressionLevel) {
    StopWriter();
    path_ = path;
    open_ = file_.Open(path, compressionLevel);
    good_ = open_;
    syncs_ = 0;
    if (open_)
        writer_ = std::jthread([this](std::stop_token stop) { WriteQueued(stop); });
    return open_;
}

namespace {

bool SameStrings(const PairStrings& known, const SecondView& second) {
    return known.pair == second.pair && known.run == second.run && known.name == second.name &&
           known.endpoint1 == second.endpoint1 && known.endpoint2 == second.endpoint2;
}

// Where `pair` is in `list`, looked for first at `hint` (pairs come in the same order
// each second); list.size() when it is not there.
template <typename T>
std::size_t FindPair(const std::vector<T>& list, long long pair, std::size_t hint) {
    if (hint < list.size() && list[hint].pair == pair)
        return hint;
    const auto it =
        std::find_if(list.begin(), list.end(), [pair](const T& t) { return t.pair == pair; });
    return static_cast<std::size_t>(it - list.begin());
}

void Apply(std::vector<SecondRecord>& records, const PairStrings& strings, std::size_t hint) {
    const std::size_t at = FindPair(records, strings.pair, hint);
    if (at == records.size())
        records.emplace_back().pair = strings.pair;
    SecondRecord& record = records[at];
    record.run = strings.run;
    record.name = strings.name;
    record.endpoint1 = strings.endpoint1;
    record.endpoint2 = strings.endpoint2;
}

// Appends the item's seconds to its lines; `records` holds each pair's strings as the
// items so far have handed them over.
void AppendSeconds(SecondQueue::Item& item, std::vector<SecondRecord>& records) {
    for (std::size_t i = 0; i < item.strings.size(); ++i)
        Apply(records, item.strings[i], i);
    if (item.at)
        item.time = FormatUtc(*item.at);
    for (std::size_t i = 0; i < item.seconds.size(); ++i) {
        const SecondFigures& figures = item.seconds[i];
        const std::size_t at = FindPair(records, figures.pair, i);
        if (at == records.size())
            continue;  // the main thread hands every pair's strings before its figures
        SecondRecord& record = records[at];
        record.time = item.time;
        record.second = figures.second;
        record.mbitPerS = figures.mbitPerS;
        record.quality = figures.quality;
        record.runQuality = figures.runQuality;
        item.lines += EncodeSecond(record);
        item.lines += '\n';
    }
}

}  // namespace

void JournalWriter::NoteStrings(const SecondView& second) {
    const std::size_t at = FindPair(known_, second.pair, pending_.seconds.size());
    const bool fresh = at == known_.size();
    if (fresh)
        known_.emplace_back();
    PairStrings& known = known_[at];
    if (!fresh && SameStrings(known, second))
        return;
    // Figures in hand of this pair were taken with the strings it had.
    const auto samePair = [&](const SecondFigures& f) { return f.pair == second.pair; };
    if (std::any_of(pending_.seconds.begin(), pending_.seconds.end(), samePair))
        EncodePending();
    known = {second.pair, std::string(second.run), std::string(second.name),
             std::string(second.endpoint1), std::string(second.endpoint2)};
    pending_.strings.push_back(known);
}

bool JournalWriter::WriteSecond(const SecondView& second) {
    if (!open_)
        return true;
    // Figures of one item share their time.
    if (!pending_.seconds.empty() &&
        (pending_.at != second.at || (!second.at && pending_.time != second.time)))
        EncodePending();
    NoteStrings(second);
    if (pending_.seconds.empty()) {
        pending_.at = second.at;
        if (!second.at)
            pending_.time.assign(second.time);
    }
    pending_.seconds.push_back(
        {second.pair, second.second, second.mbitPerS, second.quality, second.runQuality});
    return true;
}

void JournalWriter::EncodePending() {
    std::vector<SecondRecord> records;
    for (std::size_t i = 0; i < known_.size(); ++i)
        Apply(records, known_[i], i);
    std::vector<PairStrings> changed = std::exchange(pending_.strings, {});
    AppendSeconds(pending_, records);
    pending_.seconds.clear();
    // The writer's own copy of the strings must still learn of the changes.
    pending_.strings = std::move(changed);
}

void JournalWriter::Write(std::string_view line) {
    if (!open_)
        return;
    if (!pending_.seconds.empty())
        EncodePending();
    pending_.lines.append(line);
    pending_.lines += '\n';
}

void JournalWriter::SecondEnded() {
    if (!open_)
        return;
    const std::size_t pairs = pending_.seconds.size();
    pending_ = queue_.Push(std::move(pending_));
    // The next second has as many records: no growing on the main thread.
    pending_.seconds.reserve(pairs);
}

void JournalWriter::RunEnded() {
    if (!open_)
        return;
    pending_.last = true;
    pending_ = queue_.Push(std::move(pending_));
    StopWriter();
}

void JournalWriter::WriteQueued(std::stop_token stop) {
    std::vector<SecondRecord> records;
    while (std::optional<SecondQueue::Item> item = queue_.Pop(stop)) {
        AppendSeconds(*item, records);
        file_.WriteLines(item->lines);
        if (item->last)
            file_.RunEnded();
        else
            file_.SecondEnded();
        good_ = good_ && file_.Good();
        syncs_ = file_.Syncs();
        queue_.Done(std::move(*item));
    }
}

// The writer hands out everything queued before it sees the stop.
void JournalWriter::StopWriter() {
    if (writer_.joinable()) {
        writer_.request_stop();
        writer_.join();
    }
    pending_ = SecondQueue::Item({}, false);
    known_.clear();
    open_ = false;
}

}  // namespace quarn::console::records
