#pragma once

#include <QPointer>
#include <map>

#include "console/core/console_data.h"

class QWidget;

namespace quarn::console::ui {

class LogWindow;

// The open log windows, at most one per pair, known by the pair's id. The main window
// owns it and tells it when lines arrive, a run starts or the table changes; windows the
// operator closes drop out.
class LogWindows {
  public:
    // `owner` is the window the log windows are centred over.
    LogWindows(const ConsoleData& data, QWidget* owner);
    // Closes every window still open.
    ~LogWindows();
    LogWindows(const LogWindows&) = delete;
    LogWindows& operator=(const LogWindows&) = delete;

    // "Show Log": raises the pair's window when it is open, else opens one; `live` when a
    // run is going on (it scrolls to the last line). Nothing for an id that is no pair.
    LogWindow* Open(PairId pair, bool live);
    // A line arrived for (or a tick counted a line of) the pair.
    void LineAdded(PairId pair);
    // A run started: logs were cleared and every open window goes live.
    void RunStarted();
    // The table changed (Delete, Paste, Exchange, an edit, Activate, Inactivate): windows
    // of pairs that are gone or inactive close; the others read their pair again.
    void TableChanged();
    // The pair was inactivated.
    void Close(PairId pair);
    // New.
    void CloseAll();

    LogWindow* Find(PairId pair) const;
    int Count() const;

  private:
    void Prune() const;

    const ConsoleData& data_;
    QPointer<QWidget> owner_;
    mutable std::map<PairId, QPointer<LogWindow>> windows_;
};

}  // namespace quarn::console::ui
