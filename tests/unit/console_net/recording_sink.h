#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "console/core/pair_measurement.h"

namespace quarn::console::testing {

// Records what a session hands over; `onLine` lets a test react inside the call, as the
// main thread would.
class RecordingSink : public PairLineSink {
  public:
    std::function<void(std::string_view)> onLine;

    void LineReady(int index, std::string_view line) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.emplace_back(line);
        indexes_.push_back(index);
        if (onLine) {
            onLine(line);
        }
    }
    void StreamEnded(int index) override {
        std::lock_guard<std::mutex> lock(mutex_);
        streamEnds_.push_back(index);
    }

    std::vector<std::string> Lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    std::vector<int> Indexes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return indexes_;
    }
    std::vector<int> StreamEnds() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return streamEnds_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    std::vector<int> indexes_;
    std::vector<int> streamEnds_;
};

}  // namespace quarn::console::testing
