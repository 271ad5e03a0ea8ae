#pragma once

#include <QPointer>
#include <map>
#include <vector>

#include "console/core/pair_table.h"

class QWidget;

namespace quarn::console::ui {

class LogWindow;

// The open log windows, at most one per pair row. The main window owns it and tells it
// when rows move, lines arrive or a run starts; windows the operator closes drop out.
class LogWindows {
  public:
    // `owner` is the window the log windows are centred over.
    LogWindows(const PairTable& table, QWidget* owner);
    // Closes every window still open.
    ~LogWindows();
    LogWindows(const LogWindows&) = delete;
    LogWindows& operator=(const LogWindows&) = delete;

    // "Show Log": raises the row's window when it is open, else opens one; `live` when a
    // run is going on (it scrolls to the last line). Nothing for a row that is no pair.
    LogWindow* Open(int row, bool live);
    // A line arrived for (or a tick counted a line of) `row`.
    void LineAdded(int row);
    // A run started: logs were cleared and every open window goes live.
    void RunStarted();
    // Rows moved (delete, paste): rowMap[old row] is the new row, or -1 when deleted.
    // Windows of deleted rows close; the others follow their pair.
    void RowsMoved(const std::vector<int>& rowMap);
    // The row was inactivated.
    void Close(int row);
    // A pair's name or endpoints may have changed: every open window reads them again.
    void Retitle();
    // New.
    void CloseAll();

    LogWindow* Find(int row) const;
    int Count() const;

  private:
    void Prune() const;

    const PairTable& table_;
    QPointer<QWidget> owner_;
    mutable std::map<int, QPointer<LogWindow>> windows_;
};

}  // namespace quarn::console::ui
