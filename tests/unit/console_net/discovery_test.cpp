#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "console/net/broadcast_targets.h"
#include "console/net/discovery_run.h"
#include "console/net/endpoint_collector.h"
#include "console/net/endpoint_search.h"
#include "console/net/restart_broadcast.h"
#include "platform/text_encoding.h"
#include "tests/unit/console_net/loopback_peer.h"

namespace quarn::console {
namespace {

using testing::kLoopback;
using testing::LoopbackResponder;

const std::string kKoreanName = "\xEC\x84\x9C\xEC\x9A\xB8 \xEB\x8B\xA8\xEB\xA7\x90";  // two words

DiscoveryOptions LoopbackOptions(const LoopbackResponder& responder) {
    DiscoveryOptions options;
    options.destinations = {kLoopback};
    options.port = responder.Port();
    options.replyTimeoutMs = 200;
    return options;
}

TEST(EndPointCollector, KeepsTheFirstReplyPerAddressAndDecodesNames) {
    EndPointCollector collector;
    EXPECT_TRUE(collector.Add("198.18.0.2 5001 45000 lab pc 1"));
    EXPECT_FALSE(collector.Add("198.18.0.2 5001 45000 another name"));
    EXPECT_TRUE(collector.Add("198.18.0.3 5001 1555 " + kKoreanName));
    EXPECT_TRUE(collector.Add("198.18.0.4 5001 45000 "));  // empty name, as sent
    EXPECT_TRUE(collector.Add("198.18.0.5 5001 1555 bad\xC3(name\xFF"));

    const std::vector<EndPointEntry>& entries = collector.Entries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].address, "198.18.0.2");
    EXPECT_EQ(entries[0].iperfPortText, "5001");
    EXPECT_EQ(entries[0].controlPortText, "45000");
    EXPECT_EQ(entries[0].rawName, "lab pc 1");
    EXPECT_EQ(entries[0].name, "lab pc 1");
    EXPECT_EQ(entries[0].label, "(lab pc 1");
    EXPECT_EQ(entries[1].name, kKoreanName);
    EXPECT_EQ(entries[1].label, "(" + kKoreanName);
    EXPECT_EQ(entries[2].name, "");
    EXPECT_EQ(entries[2].label, "");
    EXPECT_TRUE(platform::IsValidUtf8(entries[3].name));  // claimed UTF-8 but was not
}

TEST(EndPointCollector, DropsIncompleteAndUnsafeReplies) {
    EndPointCollector collector;
    for (const char* reply : {"198.18.0.2 5001 45000",  // third field without its space
                              "198.18.0.2 5001", "198.18.0.2", "", " 5001 45000 name",
                              "198.18.0.2  45000 name", "pc-name 5001 45000 name",
                              "198.18.0.256 5001 45000 name", "198.18.0.2\r\n 5001 45000 x"}) {
        EXPECT_FALSE(collector.Add(reply)) << reply;
    }
    EXPECT_TRUE(collector.Entries().empty());
}

TEST(BroadcastTargets, NamedInterfacesNeverFallBackToTheLimitedBroadcast) {
    DiscoveryOptions loopbackOnly;
    loopbackOnly.interfaces = {"lo"};
    EXPECT_EQ(BroadcastTargets(loopbackOnly), std::vector<uint32_t>{0x7FFFFFFFu});

    DiscoveryOptions missing;
    missing.interfaces = {"quarn-none0"};
    EXPECT_TRUE(BroadcastTargets(missing).empty());

    DiscoveryOptions direct;
    direct.interfaces = {"lo"};
    direct.destinations = {kLoopback};
    EXPECT_EQ(BroadcastTargets(direct), std::vector<uint32_t>{kLoopback});
}

TEST(SearchEndPoints, CollectsRepliesOnLoopbackOncePerAddress) {
    LoopbackResponder responder({"127.0.0.1 5001 45000 first", "127.0.0.1 5001 45000 second",
                                 "198.18.0.9 5001 1555 " + kKoreanName, "198.18.0.10 5001 45000"});
    std::vector<EndPointEntry> found = SearchEndPoints(LoopbackOptions(responder));

    EXPECT_EQ(responder.Probes(), 3);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].address, "127.0.0.1");
    EXPECT_EQ(found[0].name, "first");
    EXPECT_EQ(found[1].address, "198.18.0.9");
    EXPECT_EQ(found[1].name, kKoreanName);
}

TEST(BroadcastRestart, SendsRestartThreeTimesPerTarget) {
    LoopbackResponder responder({});
    DiscoveryOptions options = LoopbackOptions(responder);
    options.destinations = {kLoopback, kLoopback};  // two targets
    BroadcastRestart(options);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (responder.Restarts() < 6 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // room for a stray extra
    EXPECT_EQ(responder.Restarts(), 6);
    EXPECT_EQ(responder.Probes(), 0);
}

// Queues posted calls for the test thread to run, like the main thread's event loop.
class QueueDispatcher : public Dispatcher {
  public:
    void Send(const std::function<void()>& call) override { call(); }
    void Post(std::function<void()> call) override {
        std::lock_guard<std::mutex> lock(mutex_);
        posted_.push_back(std::move(call));
        signal_.notify_all();
    }
    void Close() override {}

    bool RunOne(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!signal_.wait_for(lock, timeout, [this] { return !posted_.empty(); })) {
            return false;
        }
        std::function<void()> call = std::move(posted_.front());
        posted_.pop_front();
        lock.unlock();
        call();
        return true;
    }
    size_t Pending() {
        std::lock_guard<std::mutex> lock(mutex_);
        return posted_.size();
    }

  private:
    std::mutex mutex_;
    std::condition_variable signal_;
    std::deque<std::function<void()>> posted_;
};

TEST(DiscoveryRun, PostsTheResultToTheMainThread) {
    LoopbackResponder responder({"127.0.0.1 5001 45000 agent"});
    QueueDispatcher dispatcher;
    std::vector<EndPointEntry> received;
    const std::thread::id mainThread = std::this_thread::get_id();
    std::thread::id handlerThread;
    std::unique_ptr<DiscoveryRun> run = DiscoveryRun::Start(
        LoopbackOptions(responder), dispatcher, [&](std::vector<EndPointEntry> found) {
            received = std::move(found);
            handlerThread = std::this_thread::get_id();
        });
    ASSERT_NE(run, nullptr);
    ASSERT_TRUE(dispatcher.RunOne(std::chrono::seconds(10)));
    EXPECT_EQ(handlerThread, mainThread);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].label, "(agent");
    run.reset();
    EXPECT_EQ(dispatcher.Pending(), 0u);
}

TEST(DiscoveryRun, DestroyingARunningSearchCancelsItPromptlyWithoutPosting) {
    LoopbackResponder responder({"127.0.0.1 5001 45000 agent"});
    DiscoveryOptions options = LoopbackOptions(responder);
    options.replyTimeoutMs = 1000;
    options.destinations = {kLoopback, kLoopback, kLoopback};  // about nine seconds in all
    QueueDispatcher dispatcher;
    std::unique_ptr<DiscoveryRun> run =
        DiscoveryRun::Start(options, dispatcher, [](std::vector<EndPointEntry>) {});
    ASSERT_NE(run, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    const auto started = std::chrono::steady_clock::now();
    run.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1500));
    EXPECT_EQ(dispatcher.Pending(), 0u);
}

TEST(DiscoveryRun, ResultQueuedWhenItsRunIsDestroyedNeverReachesTheReceiver) {
    LoopbackResponder responder({"127.0.0.1 5001 45000 agent"});
    QueueDispatcher dispatcher;
    // The receiver dies with the run, as a window does with its search.
    auto receiver = std::make_unique<std::vector<EndPointEntry>>();
    auto delivered = std::make_shared<bool>(false);
    std::unique_ptr<DiscoveryRun> run =
        DiscoveryRun::Start(LoopbackOptions(responder), dispatcher,
                            [target = receiver.get(), delivered](std::vector<EndPointEntry> found) {
                                *delivered = true;
                                *target = found;
                            });
    ASSERT_NE(run, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!run->Finished() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_EQ(dispatcher.Pending(), 1u);
    run.reset();
    receiver.reset();
    // The queued result still runs on the main thread, but finds its run gone (ASan would
    // report a write to the freed receiver).
    EXPECT_TRUE(dispatcher.RunOne(std::chrono::milliseconds(0)));
    EXPECT_FALSE(*delivered);
}

}  // namespace
}  // namespace quarn::console
