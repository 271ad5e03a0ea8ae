#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "console/core/console_view.h"

namespace quarn::console::test {

// A view that remembers what the core asked it to show.
class RecordingView : public ConsoleView {
  public:
    void ShowNotice(NoticeKind kind, std::string_view text) override {
        notices.emplace_back(kind, std::string(text));
        if (onNotice) {
            onNotice();
        }
    }
    void RedrawList() override { ++listRedraws; }
    void TickProcessed(int ticks, std::chrono::seconds duration) override {
        lastTicks = ticks;
        lastDuration = duration;
    }
    void ModeChanged() override { ++modeChanges; }
    void LogChanged(PairId pair) override { lastLogPair = pair; }
    void LogsCounted(const std::vector<PairId>& pairs) override { logsCounted.push_back(pairs); }
    void RecordsNoted(std::string_view note) override { notes.emplace_back(note); }
    void FileBusyChanged(bool busy) override { fileBusy.push_back(busy); }
    void FileFinished(bool opened) override {
        filesFinished.push_back(opened);
        noticesAtFileFinished = notices.size();
    }
    void ChartChanged() override { ++chartChanges; }
    void ReferenceChanged() override { ++referenceChanges; }
    void TableChanged() override { ++tableChanges; }
    void SearchEnded() override {
        ++searchEnds;
        noticesAtSearchEnd = notices.size();
    }
    void RunStarted() override {
        ++runStarts;
        modeChangesAtRunStart = modeChanges;
        if (onRunStarted) {
            onRunStarted();
        }
    }

    std::function<void()> onNotice;
    std::function<void()> onRunStarted;
    std::vector<std::vector<PairId>> logsCounted;
    int runStarts = 0;
    int modeChangesAtRunStart = -1;
    std::vector<std::pair<NoticeKind, std::string>> notices;
    std::vector<std::string> notes;
    std::vector<bool> fileBusy;
    std::vector<bool> filesFinished;  // opened or saved
    std::size_t noticesAtFileFinished = 0;
    int chartChanges = 0;
    int referenceChanges = 0;
    int tableChanges = 0;
    int searchEnds = 0;
    std::size_t noticesAtSearchEnd = 0;
    int listRedraws = 0;
    int lastTicks = -1;
    std::chrono::seconds lastDuration{-1};
    int modeChanges = 0;
    PairId lastLogPair;
};

}  // namespace quarn::console::test
