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
    void TickProcessed(int ticks, int duration) override {
        lastTicks = ticks;
        lastDuration = duration;
    }
    void ModeChanged() override { ++modeChanges; }
    void LogChanged(int row) override { lastLogRow = row; }
    void RowsChanged(const std::vector<int>& rows) override { rowsChanged.push_back(rows); }
    void RunStarted() override {
        ++runStarts;
        modeChangesAtRunStart = modeChanges;
        if (onRunStarted) {
            onRunStarted();
        }
    }

    std::function<void()> onNotice;
    std::function<void()> onRunStarted;
    std::vector<std::vector<int>> rowsChanged;
    int runStarts = 0;
    int modeChangesAtRunStart = -1;
    std::vector<std::pair<NoticeKind, std::string>> notices;
    int listRedraws = 0;
    int lastTicks = -1;
    int lastDuration = -1;
    int modeChanges = 0;
    int lastLogRow = -1;
};

}  // namespace quarn::console::test
