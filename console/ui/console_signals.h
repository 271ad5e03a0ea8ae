#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <string_view>
#include <vector>

#include "console/core/console_view.h"

namespace quarn::console::ui {

// The core's view as Qt signals: each call is re-emitted at once on the window thread
// (the dispatcher already runs the core's calls there), and each widget connects to what
// it shows.
class ConsoleSignals : public QObject, public ConsoleView {
    Q_OBJECT
  public:
    explicit ConsoleSignals(QObject* parent = nullptr) : QObject(parent) {}

    void ShowNotice(NoticeKind kind, std::string_view text) override;
    void RedrawList() override { emit listChanged(); }
    void TickProcessed(int ticks, std::chrono::seconds duration) override {
        emit tickProcessed(ticks, duration);
    }
    void ModeChanged() override { emit modeChanged(); }
    void LogChanged(PairId pair) override { emit logChanged(pair); }
    void LogsCounted(const std::vector<PairId>& pairs) override { emit logsCounted(pairs); }
    void RunStarted() override { emit runStarted(); }
    // For the terminal the window was started from; no widget shows it.
    void RecordsNoted(std::string_view note) override;
    void FileBusyChanged(bool busy) override { emit fileBusyChanged(busy); }
    void FileFinished(bool opened) override { emit fileFinished(opened); }
    void ChartChanged() override { emit chartChanged(); }
    void ReferenceChanged() override { emit referenceChanged(); }
    void TableChanged() override { emit tableChanged(); }
    void SearchEnded() override { emit searchEnded(); }
    void RunJudged() override { emit runJudged(); }

  signals:
    void noticeRequested(quarn::console::NoticeKind kind, const QString& text);
    void listChanged();
    void tickProcessed(int ticks, std::chrono::seconds duration);
    void modeChanged();
    void logChanged(quarn::console::PairId pair);
    void logsCounted(const std::vector<quarn::console::PairId>& pairs);
    void runStarted();
    void fileBusyChanged(bool busy);
    void fileFinished(bool opened);
    void chartChanged();
    void referenceChanged();
    void tableChanged();
    void searchEnded();
    void runJudged();
};

}  // namespace quarn::console::ui
