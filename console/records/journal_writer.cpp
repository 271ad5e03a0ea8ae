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

void JournalWriter::Write(std::string_view line) {
    if (!open_)
        return;
    pending_.append(line);
    pending_ += '\n';
}

void JournalWriter::SecondEnded() {
    if (open_)
        queue_.Push({std::exchange(pending_, {}), false});
}

void JournalWriter::RunEnded() {
    if (!open_)
        return;
    queue_.Push({std::exchange(pending_, {}), true});
    StopWriter();
}

void JournalWriter::WriteQueued(std::stop_token stop) {
    while (std::optional<SecondQueue::Item> item = queue_.Pop(stop)) {
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
    open_ = false;
}

}  // namespace quarn::console::records
