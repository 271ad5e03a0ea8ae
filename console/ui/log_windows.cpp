#include "console/ui/log_windows.h"

#include <QWidget>

#include "console/ui/log_window.h"

namespace quarn::console::ui {

LogWindows::LogWindows(const ConsoleData& data, QWidget* owner) : data_(data), owner_(owner) {}

LogWindows::~LogWindows() {
    // Deleted now rather than later: they read the data, which go with the owner.
    Prune();
    auto windows = std::move(windows_);
    windows_.clear();
    for (auto& [pair, window] : windows) {
        delete window.data();
    }
}

void LogWindows::Prune() const {
    for (auto it = windows_.begin(); it != windows_.end();) {
        it = it->second.isNull() ? windows_.erase(it) : std::next(it);
    }
}

LogWindow* LogWindows::Find(PairId pair) const {
    Prune();
    const auto found = windows_.find(pair);
    return found == windows_.end() ? nullptr : found->second.data();
}

int LogWindows::Count() const {
    Prune();
    return static_cast<int>(windows_.size());
}

LogWindow* LogWindows::Open(PairId pair, bool live) {
    if (LogWindow* open = Find(pair)) {
        open->show();
        open->raise();
        open->activateWindow();
        return open;
    }
    if (!data_.table.Contains(pair)) {
        return nullptr;
    }
    auto* window = new LogWindow(data_, pair);
    windows_[pair] = window;
    window->ShowCentredOver(owner_.data());
    window->RefreshLog(live);
    return window;
}

void LogWindows::LineAdded(PairId pair) {
    LogWindow* window = Find(pair);
    if (window && window->isVisible()) {
        window->RefreshLog(true);
    }
}

void LogWindows::RunStarted() {
    Prune();
    for (auto& [pair, window] : windows_) {
        window->RefreshLog(true);
    }
}

void LogWindows::TableChanged() {
    Prune();
    for (auto it = windows_.begin(); it != windows_.end();) {
        const PairRecord* record = data_.table.Find(it->first);
        if (!data_.table.Contains(it->first) || !record->config.active) {
            it->second->close();
            it = windows_.erase(it);
            continue;
        }
        it->second->Retitle();
        ++it;
    }
}

void LogWindows::Close(PairId pair) {
    if (LogWindow* window = Find(pair)) {
        window->close();
    }
    windows_.erase(pair);
}

void LogWindows::CloseAll() {
    Prune();
    auto windows = std::move(windows_);
    windows_.clear();
    for (auto& [pair, window] : windows) {
        if (window) {
            window->close();
        }
    }
}

}  // namespace quarn::console::ui
