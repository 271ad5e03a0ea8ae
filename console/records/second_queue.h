#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "console/records/record_format.h"

namespace quarn::console::records {

// The strings a pair's second records share through a run, handed over when they change.
struct PairStrings {
    long long pair = 0;
    std::string run;
    std::string name;
    std::string endpoint1;
    std::string endpoint2;
};

// A pair's second without its strings: what changes every second.
struct SecondFigures {
    long long pair = 0;
    int second = 0;
    double mbitPerS = 0.0;
    QualityFigures quality;
    RunQualityFigures runQuality;
};

// The seconds of a journal on their way from the Console's main thread to the thread that
// writes them. Bounded: when the writer has fallen `capacity` seconds behind (a disk slower
// than the run), Push waits for room, so memory stays bounded and no record is dropped.
// Items the consumer is done with come back to the producer, their buffers kept, so a run
// allocates nothing per second once its first seconds have passed.
class SecondQueue {
  public:
    struct Item {
        Item(std::string text, bool closing) : lines(std::move(text)), last(closing) {}

        std::string lines;  // each with its line end
        bool last = false;  // the run's closing records
        // After the lines, encoded by the taker: the pairs' strings that changed, then
        // each pair's figures, all processed at `at` (or at the text `time`, when unset).
        std::vector<PairStrings> strings;
        std::optional<std::chrono::system_clock::time_point> at;
        std::string time;
        std::vector<SecondFigures> seconds;

        // Empty again, its buffers kept for the next second.
        void Clear();
    };

    explicit SecondQueue(std::size_t capacity);

    // Waits while the queue is full. Gives back an item to fill next: one the consumer
    // handed back (emptied, its buffers kept), or a new one.
    Item Push(Item item);
    // Waits for the next item; nullopt once `stop` is requested and nothing is left, so
    // what was pushed before the stop is still handed out.
    std::optional<Item> Pop(std::stop_token stop);
    // The consumer has finished with an item Pop gave it, and hands it back for a later
    // Push to give out again.
    void Done(Item spent);
    // Waits until every item pushed so far is done; false at the time limit.
    bool WaitDone(std::chrono::milliseconds limit);
    // How often Push had to wait for room.
    long long FullWaits() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable_any items_;
    std::condition_variable room_;
    std::condition_variable done_;
    // A ring of `capacity_` slots (no allocation per item): `count_` items from `head_`.
    std::vector<Item> slots_;
    std::size_t capacity_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    std::vector<Item> spare_;  // handed back, at most capacity_ + 1
    long long pushed_ = 0;
    long long finished_ = 0;
    long long fullWaits_ = 0;
};

}  // namespace quarn::console::records
