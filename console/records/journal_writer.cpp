#include "console/records/journal_writer.h"

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

void AppendSeconds(std::string& lines, const std::vector<SecondRecord>& seconds) {
    for (const SecondRecord& second : seconds) {
        lines += EncodeSecond(second);
        lines += '\n';
    }
}

}  // namespace

void JournalWriter::Write(std::string_view line) {
    if (!open_)
        return;
    // Text after records of the same item: those are encoded here so the order holds.
    AppendSeconds(pending_, std::exchange(pendingSeconds_, {}));
    pending_.append(line);
    pending_ += '\n';
}

bool JournalWriter::WriteSecond(const SecondRecord& second) {
    if (open_)
        pendingSeconds_.push_back(second);
    return true;
}

void JournalWriter::SecondEnded() {
    if (!open_)
        return;
    const std::size_t pairs = pendingSeconds_.size();
    queue_.Push({std::exchange(pending_, {}), false, std::exchange(pendingSeconds_, {})});
    // The next second has as many records: no growing on the main thread.
    pendingSeconds_.reserve(pairs);
}

void JournalWriter::RunEnded() {
    if (!open_)
        return;
    queue_.Push({std::exchange(pending_, {}), true, std::exchange(pendingSeconds_, {})});
    StopWriter();
}

void JournalWriter::WriteQueued(std::stop_token stop) {
    while (std::optional<SecondQueue::Item> item = queue_.Pop(stop)) {
        AppendSeconds(item->lines, item->seconds);
        file_.WriteLines(item->lines);
        if (item->last)
            file_.RunEnded();
        else
            file_.SecondEnded();
        good_ = good_ && file_.Good();
        syncs_ = file_.Syncs();
        queue_.Done();
    }
}

// The writer hands out everything queued before it sees the stop.
void JournalWriter::StopWriter() {
    if (writer_.joinable()) {
        writer_.request_stop();
        writer_.join();
    }
    pending_.clear();
    pendingSeconds_.clear();
    open_ = false;
}

}  // namespace quarn::console::records
