#include "console/ui/qt_dispatcher.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <chrono>
#include <memory>
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
}

}  // namespace
}  // namespace quarn::console::ui
