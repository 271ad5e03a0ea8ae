#include "console/ui/log_windows.h"

#include <QWidget>

#include "console/ui/log_window.h"

namespace quarn::console::ui {

LogWindows::LogWindows(const PairTable& table, QWidget* owner) : table_(table), owner_(owner) {}

LogWindows::~LogWindows() {
    // Deleted now rather than later: they read the table, which goes with the owner.
    Prune();
    auto windows = std::move(windows_);
    windows_.clear();
    for (auto& [row, window] : windows) {
        delete window.data();
    }
}

void LogWindows::Prune() const {
    for (auto it = windows_.begin(); it != windows_.end();) {
        it = it->second.isNull() ? windows_.erase(it) : std::next(it);
    }
}

LogWindow* LogWindows::Find(int row) const {
    Prune();
    const auto found = windows_.find(row);
    return found == windows_.end() ? nullptr : found->second.data();
}

int LogWindows::Count() const {
    Prune();
    return static_cast<int>(windows_.size());
}

LogWindow* LogWindows::Open(int row, bool live) {
    if (LogWindow* open = Find(row)) {
        open->show();
        open->raise();
        open->activateWindow();
        return open;
    }
    if (!table_.IsPairRow(row)) {
        return nullptr;
    }
    auto* window = new LogWindow(table_, row);
    windows_[row] = window;
    window->ShowCentredOver(owner_.data());
    window->RefreshLog(live);
    return window;
}

void LogWindows::LineAdded(int row) {
    LogWindow* window = Find(row);
    if (window && window->isVisible()) {
        window->RefreshLog(true);
    }
}

void LogWindows::RunStarted() {
    Prune();
    for (auto& [row, window] : windows_) {
        window->RefreshLog(true);
    }
}

void LogWindows::RowsMoved(const std::vector<int>& rowMap) {
    Prune();
    std::map<int, QPointer<LogWindow>> moved;
    for (auto& [row, window] : windows_) {
        const int to = row >= 0 && row < static_cast<int>(rowMap.size())
                           ? rowMap[static_cast<std::size_t>(row)]
                           : -1;
        if (to < 1) {
            window->close();
            continue;
        }
        if (to != row) {
            window->Bind(to);
        }
        window->RefreshLog(false);
        moved[to] = window;
    }
    windows_ = std::move(moved);
}

void LogWindows::Retitle() {
    Prune();
    for (auto& [row, window] : windows_) {
        window->Bind(row);
    }
}

void LogWindows::Close(int row) {
    if (LogWindow* window = Find(row)) {
        window->close();
    }
    windows_.erase(row);
}

void LogWindows::CloseAll() {
    Prune();
    auto windows = std::move(windows_);
    windows_.clear();
    for (auto& [row, window] : windows) {
        if (window) {
            window->close();
        }
    }
}

}  // namespace quarn::console::ui
