#include "console/core/dispatch_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "console/core/liveness.h"
#include "console/core/thread_affinity.h"

namespace quarn::console {
namespace {

using namespace std::chrono_literals;

template <typename Condition>
bool WaitUntil(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(DispatchQueueTest, WakesOncePerQueuedCallAndNeverAfterClose) {
    std::atomic<int> wakes{0};
    DispatchQueue queue([&] { ++wakes; });
    std::atomic<bool> sent{false};
    std::thread sender([&] {
        queue.Send([] {});
        sent = true;
    });
    queue.Post([] {});
    ASSERT_TRUE(WaitUntil([&] { return wakes.load() == 2; }));
    EXPECT_FALSE(sent.load());
    EXPECT_EQ(queue.RunPending() + queue.RunPending(), 2);  // whatever order they came in
    sender.join();
    EXPECT_TRUE(sent.load());

    queue.Close();
    queue.Post([] {});
    queue.Send([] { FAIL() << "ran after Close"; });
    EXPECT_EQ(wakes.load(), 2);
    EXPECT_EQ(queue.RunPending(), 0);
}

TEST(DispatchQueueTest, ManySendersEachWaitForTheirOwnCall) {
    DispatchQueue queue;
    constexpr int kSenders = 8;
    constexpr int kCalls = 200;
    int total = 0;  // touched only by the owner thread
    std::atomic<int> returned{0};
    std::vector<std::thread> senders;
    for (int s = 0; s < kSenders; ++s) {
        senders.emplace_back([&] {
            for (int i = 0; i < kCalls; ++i) {
                int before = -1;
                queue.Send([&] { before = total++; });
                EXPECT_GE(before, 0);  // ran before Send returned
            }
            ++returned;
        });
    }
    while (returned.load() < kSenders) {
        queue.RunOne(std::chrono::steady_clock::now() + 5ms);
    }
    for (std::thread& sender : senders) {
        sender.join();
    }
    EXPECT_EQ(total, kSenders * kCalls);
}

TEST(DispatchQueueTest, CloseReleasesAllBlockedSendersWithoutRunningThem) {
    DispatchQueue queue;
    std::atomic<int> ran{0};
    std::atomic<int> queued{0};
    DispatchQueue* q = &queue;
    std::vector<std::thread> senders;
    for (int s = 0; s < 4; ++s) {
        senders.emplace_back([&, q] {
            ++queued;
            q->Send([&] { ++ran; });
        });
    }
    ASSERT_TRUE(WaitUntil([&] { return queued.load() == 4; }));
    std::this_thread::sleep_for(20ms);  // the senders are inside Send by now
    queue.Close();
    for (std::thread& sender : senders) {
        sender.join();  // would hang if Close left one waiting
    }
    EXPECT_EQ(queue.RunPending(), 0);
    EXPECT_EQ(ran.load(), 0);
}

TEST(DispatchQueueTest, InterruptStopsTheWaitingOwner) {
    DispatchQueue queue;
    std::thread interrupter([&] {
        std::this_thread::sleep_for(20ms);
        queue.Interrupt();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(queue.RunOne(start + 10s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    interrupter.join();
    EXPECT_TRUE(queue.TakeInterrupt());
    EXPECT_FALSE(queue.TakeInterrupt());
}

TEST(LivenessTest, GuardedCallsRunOnlyWhileTheHolderLives) {
    int runs = 0;
    std::function<void()> guarded;
    std::function<void(int)> withArgument;
    {
        Liveness liveness;
        guarded = liveness.Guard([&] { ++runs; });
        withArgument = liveness.Guard([&](int n) { runs += n; });
        guarded();
        withArgument(10);
        EXPECT_EQ(runs, 11);
    }
    guarded();
    withArgument(10);
    EXPECT_EQ(runs, 11);

    Liveness early;
    std::function<void()> call = early.Guard([&] { ++runs; });
    early.Expire();
    call();
    EXPECT_EQ(runs, 11);
}

TEST(ThreadAffinityTest, BelongsToItsThreadUnlessLent) {
    ThreadAffinity affinity;
    EXPECT_TRUE(affinity.OnOwnerThread());
    bool onWorker = true;
    bool lentOnWorker = false;
    std::thread worker([&] {
        onWorker = affinity.OnOwnerThread();
        ThreadAffinity::Lend lend(affinity);
        lentOnWorker = affinity.OnOwnerThread();
    });
    worker.join();
    EXPECT_FALSE(onWorker);
    EXPECT_TRUE(lentOnWorker);
    EXPECT_TRUE(affinity.OnOwnerThread());  // back after the lend

    // A copy belongs to the thread that made it; assignment keeps the owner.
    std::unique_ptr<ThreadAffinity> copy;
    std::thread copier([&] { copy = std::make_unique<ThreadAffinity>(affinity); });
    copier.join();
    EXPECT_FALSE(copy->OnOwnerThread());
    ThreadAffinity assigned;
    assigned = *copy;
    EXPECT_TRUE(assigned.OnOwnerThread());
}

#ifndef NDEBUG
TEST(ThreadAffinityDeathTest, DebugBuildsStopAnEntryPointCalledFromAWorker) {
    ThreadAffinity affinity;
    affinity.Check("owner");  // fine
    EXPECT_DEATH(
        {
            std::thread worker([&] { affinity.Check("TestEntry"); });
            worker.join();
        },
        "TestEntry called outside the window thread");
}
#endif

}  // namespace
}  // namespace quarn::console
