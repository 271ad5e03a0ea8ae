#include "console/ui/qt_dispatcher.h"
#include "widgets/wake_fd.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

namespace quarn::console::ui {
namespace {

using namespace std::chrono_literals;

// Runs the window thread's event loop until `done` holds or five seconds pass.
template <typename Condition>
bool ProcessUntil(Condition done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 5000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

TEST(QtDispatcherTest, ManyWorkersSendAndEachCallRunsOnTheWindowThread) {
    QtDispatcher dispatcher;
    constexpr int kWorkers = 8;
    constexpr int kCalls = 100;
    const std::thread::id windowThread = std::this_thread::get_id();
    int ran = 0;        // window thread only
    int offThread = 0;  // window thread only
    std::atomic<int> finished{0};
    std::atomic<int> notYetRun{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&] {
            for (int i = 0; i < kCalls; ++i) {
                bool done = false;
                dispatcher.Send([&] {
                    offThread += std::this_thread::get_id() == windowThread ? 0 : 1;
                    ++ran;
                    done = true;
                });
                notYetRun += done ? 0 : 1;  // Send returned before its call ran
            }
            ++finished;
        });
    }
    EXPECT_TRUE(ProcessUntil([&] { return finished.load() == kWorkers; }));
    dispatcher.Close();  // a lost wake-up then fails the test instead of hanging it
    for (std::thread& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(ran, kWorkers * kCalls);
    EXPECT_EQ(offThread, 0);
    EXPECT_EQ(notYetRun.load(), 0);
}

TEST(QtDispatcherTest, SendFromTheWindowThreadRunsAtOnce) {
    QtDispatcher dispatcher;
    bool ran = false;
    dispatcher.Send([&] { ran = true; });
    EXPECT_TRUE(ran);
    dispatcher.Close();
    ran = false;
    dispatcher.Send([&] { ran = true; });
    EXPECT_FALSE(ran);
}

TEST(QtDispatcherTest, CloseReleasesAWorkerBlockedInSend) {
    QtDispatcher dispatcher;
    std::atomic<bool> entered{false};
    std::atomic<bool> returned{false};
    bool ran = false;
    std::thread worker([&] {
        entered = true;
        dispatcher.Send([&] { ran = true; });
        returned = true;
    });
    while (!entered) {
        std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(30ms);  // no events processed: the worker stays blocked
    EXPECT_FALSE(returned.load());
    dispatcher.Close();
    worker.join();  // hangs if Close did not release it
    EXPECT_TRUE(returned.load());
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

TEST(QtDispatcherTest, PostsQueuedBeforeOrAfterCloseAreDropped) {
    QtDispatcher dispatcher;
    int ran = 0;
    std::thread poster([&] { dispatcher.Post([&] { ++ran; }); });
    poster.join();
    dispatcher.Close();  // the queued post goes with it
    dispatcher.Post([&] { ++ran; });
    std::thread late([&] { dispatcher.Post([&] { ++ran; }); });
    late.join();
    QCoreApplication::processEvents();
    QTest::qWait(20);
    EXPECT_EQ(ran, 0);

    QtDispatcher open;
    std::thread poster2([&] { open.Post([&] { ++ran; }); });
    poster2.join();
    EXPECT_TRUE(ProcessUntil([&] { return ran == 1; }));
}

TEST(QtDispatcherTest, DestroyedDispatcherLeavesNoWakeUpBehind) {
    auto dispatcher = std::make_unique<QtDispatcher>();
    int ran = 0;
    std::thread poster([&] {
        for (int i = 0; i < 10; ++i) {
            dispatcher->Post([&] { ++ran; });
        }
    });
    poster.join();
    dispatcher.reset();  // ten wake-ups were posted to it
    QCoreApplication::processEvents();
    QTest::qWait(20);
    EXPECT_EQ(ran, 0);

    // A successor (likely on the same descriptor number) inherits no stale wake-up.
    QtDispatcher next;
    QCoreApplication::processEvents();
    QTest::qWait(20);
    EXPECT_EQ(next.WakeCount(), 0);
}

TEST(QtDispatcherTest, PostsQueuedBeforeAWakeUpShareItAndRunInOrder) {
    QtDispatcher dispatcher;
    std::vector<int> order;  // window thread only
    for (int round = 1; round <= 3; ++round) {
        std::thread poster([&] {
            for (int i = 0; i < 1000; ++i) {
                dispatcher.Post([&order, i] { order.push_back(i); });
            }
        });
        poster.join();
        ASSERT_TRUE(ProcessUntil([&] { return order.size() == 1000; }));
        std::vector<int> expected(1000);
        std::iota(expected.begin(), expected.end(), 0);
        EXPECT_EQ(order, expected);
        // One wake-up per round: the flag clears, so the next round wakes again.
        EXPECT_EQ(dispatcher.WakeCount(), round);
        order.clear();
    }
}

TEST(QtDispatcherTest, AFloodFromSeveralWorkersLosesNoCallAndKeepsEachWorkersOrder) {
    QtDispatcher dispatcher;
    constexpr int kWorkers = 4;
    constexpr int kCalls = 5000;
    std::vector<std::vector<int>> seen(kWorkers);  // window thread only
    int total = 0;
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < kCalls; ++i) {
                dispatcher.Post([&, w, i] {
                    seen[w].push_back(i);
                    ++total;
                });
                if (i % 500 == 0) {
                    // Sends between the posts: each must wait for every post before it.
                    dispatcher.Send([&, w, i] { EXPECT_EQ(seen[w].back(), i); });
                }
            }
        });
    }
    EXPECT_TRUE(ProcessUntil([&] { return total == kWorkers * kCalls; }));
    dispatcher.Close();  // releases a worker left in Send if calls were lost
    for (std::thread& worker : workers) {
        worker.join();
    }
    std::vector<int> expected(kCalls);
    std::iota(expected.begin(), expected.end(), 0);
    for (int w = 0; w < kWorkers; ++w) {
        EXPECT_EQ(seen[w], expected) << "worker " << w;
    }
    // Wake-ups merge: far fewer than calls, however the threads happened to interleave.
    EXPECT_LT(dispatcher.WakeCount(), kWorkers * kCalls / 4);
}

TEST(QtDispatcherTest, CallsQueuedByARunningCallAreNotLeftWaiting) {
    QtDispatcher dispatcher;
    std::vector<std::string> ran;
    std::thread poster([&] {
        dispatcher.Post([&] {
            ran.push_back("first");
            dispatcher.Post([&] { ran.push_back("queued by first"); });
        });
    });
    poster.join();
    EXPECT_TRUE(ProcessUntil([&] { return ran.size() == 2; }));
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "queued by first"}));
}

TEST(QtDispatcherTest, ANestedEventLoopInsideACallStillRunsLaterCalls) {
    // A call that opens a modal dialog spins an event loop of its own; workers must still
    // reach the window thread meanwhile.
    QtDispatcher dispatcher;
    bool innerRan = false;
    bool outerDone = false;
    std::thread poster([&] {
        dispatcher.Post([&] {
            QEventLoop nested;
            QTimer::singleShot(3000, &nested, &QEventLoop::quit);
            std::thread worker([&] {
                dispatcher.Send([&] {
                    innerRan = true;
                    nested.quit();
                });
            });
            nested.exec();
            if (!innerRan) {
                dispatcher.Close();  // release the worker, or the join below hangs
            }
            worker.join();
            outerDone = true;
        });
    });
    poster.join();
    EXPECT_TRUE(ProcessUntil([&] { return outerDone; }));
    EXPECT_TRUE(innerRan);
}

TEST(WakeFdTest, SignalsAddUpUntilDrainedAndShowAsReadable) {
    widgets::WakeFd fd;
    auto readable = [&] {
        pollfd entry{fd.Handle(), POLLIN, 0};
        return ::poll(&entry, 1, 0) == 1 && (entry.revents & POLLIN) != 0;
    };
    EXPECT_FALSE(readable());
    EXPECT_EQ(fd.Drain(), 0u);
    fd.Signal();
    fd.Signal();
    fd.Signal();
    EXPECT_TRUE(readable());
    EXPECT_EQ(fd.Drain(), 3u);
    EXPECT_FALSE(readable());
    EXPECT_EQ(fd.Drain(), 0u);
}

}  // namespace
}  // namespace quarn::console::ui
