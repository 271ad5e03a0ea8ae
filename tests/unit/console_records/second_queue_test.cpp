#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "console/records/second_queue.h"

namespace quarn::console::records {
namespace {

using namespace std::chrono_literals;

TEST(SecondQueueTest, AFullQueueHoldsThePusherBackUntilThereIsRoom) {
    SecondQueue queue(2);
    queue.Push({"1\n", false});
    queue.Push({"2\n", false});
    EXPECT_EQ(queue.FullWaits(), 0);
    std::atomic<bool> pushed = false;
    std::jthread pusher([&] {
        queue.Push({"3\n", true});
        pushed = true;
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(pushed);
    std::stop_source stop;
    const auto first = queue.Pop(stop.get_token());
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->lines, "1\n");
    pusher.join();
    EXPECT_TRUE(pushed);
    EXPECT_EQ(queue.FullWaits(), 1);
    // Order is kept, and so is the mark on the closing item.
    const auto second = queue.Pop(stop.get_token());
    const auto third = queue.Pop(stop.get_token());
    ASSERT_TRUE(second && third);
    EXPECT_EQ(second->lines, "2\n");
    EXPECT_FALSE(second->last);
    EXPECT_EQ(third->lines, "3\n");
    EXPECT_TRUE(third->last);
}

TEST(SecondQueueTest, AStoppedConsumerStillGetsWhatWasPushedAndIsToldWhenAllIsDone) {
    SecondQueue queue(8);
    std::vector<std::string> got;
    std::jthread consumer([&](std::stop_token stop) {
        while (auto item = queue.Pop(stop)) {
            got.push_back(item->lines);
            queue.Done(std::move(*item));
        }
    });
    for (int i = 0; i < 5; ++i)
        queue.Push({std::to_string(i), false});
    EXPECT_TRUE(queue.WaitDone(10s));
    queue.Push({"5", false});
    queue.Push({"6", true});
    consumer.request_stop();
    consumer.join();
    ASSERT_EQ(got.size(), 7u);
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(got[static_cast<std::size_t>(i)], std::to_string(i));
    EXPECT_TRUE(queue.WaitDone(0ms));
    // Nothing left: a stopped consumer is not kept waiting.
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_FALSE(queue.Pop(stopped.get_token()).has_value());
}

TEST(SecondQueueTest, WaitDoneGivesUpAtItsLimitWhileAnItemIsUnfinished) {
    SecondQueue queue(4);
    queue.Push({"x", false});
    EXPECT_FALSE(queue.WaitDone(20ms));
    std::stop_source stop;
    std::optional<SecondQueue::Item> item = queue.Pop(stop.get_token());
    ASSERT_TRUE(item.has_value());
    EXPECT_FALSE(queue.WaitDone(0ms));
    queue.Done(std::move(*item));
    EXPECT_TRUE(queue.WaitDone(0ms));
}

TEST(SecondQueueTest, AnItemHandedBackComesOutOfTheNextPushEmptiedWithItsBuffers) {
    SecondQueue queue(2);
    std::stop_source stop;
    SecondQueue::Item first("head\n", true);
    first.strings.push_back({1, "run", "name", "a", "b"});
    first.at = std::chrono::system_clock::now();
    first.time = "2026-12-10T00:00:00Z";
    first.seconds.resize(16);
    // Nothing handed back yet: a fresh item.
    const SecondQueue::Item fresh = queue.Push(std::move(first));
    EXPECT_EQ(fresh.seconds.capacity(), 0u);
    auto taken = queue.Pop(stop.get_token());
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(taken->lines, "head\n");
    ASSERT_EQ(taken->seconds.size(), 16u);
    const SecondFigures* buffer = taken->seconds.data();
    taken->lines.append(4000, 'x');
    queue.Done(std::move(*taken));
    EXPECT_TRUE(queue.WaitDone(0ms));

    const SecondQueue::Item next = queue.Push({"second\n", false});
    EXPECT_TRUE(next.lines.empty());
    EXPECT_GE(next.lines.capacity(), 4000u);
    EXPECT_FALSE(next.last);
    EXPECT_TRUE(next.strings.empty());
    EXPECT_FALSE(next.at.has_value());
    EXPECT_TRUE(next.time.empty());
    EXPECT_TRUE(next.seconds.empty());
    EXPECT_EQ(next.seconds.data(), buffer);
    // What was pushed is not what came back.
    const auto second = queue.Pop(stop.get_token());
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->lines, "second\n");
}

TEST(SecondQueueTest, TheRingKeepsOrderAcrossManyWrapsWithAConcurrentConsumer) {
    SecondQueue queue(3);
    std::vector<std::string> got;
    std::jthread consumer([&](std::stop_token stop) {
        while (auto item = queue.Pop(stop)) {
            got.push_back(item->lines);
            queue.Done(std::move(*item));
        }
    });
    SecondQueue::Item item({}, false);
    for (int i = 0; i < 1000; ++i) {
        item.lines = std::to_string(i);
        item = queue.Push(std::move(item));
    }
    EXPECT_TRUE(queue.WaitDone(10s));
    consumer.request_stop();
    consumer.join();
    ASSERT_EQ(got.size(), 1000u);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(got[static_cast<std::size_t>(i)], std::to_string(i));
}

}  // namespace
}  // namespace quarn::console::records
