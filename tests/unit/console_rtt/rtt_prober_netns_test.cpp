#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "address/ipv4.h"
#include "console/net/rtt_prober.h"
#include "endpoint/agent/agent_state.h"
#include "endpoint/agent/discovery_responder.h"
#include "platform/socket.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_network.h"

namespace quarn::console {
namespace {

class QuietObserver : public agent::AgentObserver {
  public:
    void OnStarted(const std::string&, const std::string&) override {}
    void OnNameChanged(const std::string&) override {}
    void OnAddressTextChanged(const std::string&) override {}
    void OnStatusChanged(agent::AgentStatus) override {}
    void OnPortInUse(uint16_t) override {}
};

// The EndPoint's discovery responder, as the program runs it, inside one host.
class Responder {
  public:
    Responder(const test_support::TestNetwork& network, int host) {
        agent::AgentConfig config;
        config.nameStoreDir = names_.Path();
        state_ = std::make_unique<agent::AgentState>(config, observer_);
        responder_ = std::make_unique<agent::DiscoveryResponder>(*state_, [] {});
        // Started inside the host, the thread sees the host's adapters as the program would.
        network.RunInHost(host, [&] {
            bound_ = responder_->Bind();
            if (bound_) {
                thread_ = std::thread([this] { responder_->Run(); });
            }
        });
    }
    ~Responder() {
        state_->RequestShutdown();
        responder_->Wake();
        if (thread_.joinable()) {
            thread_.join();
        }
        responder_->Close();
    }
    bool Bound() const { return bound_; }

  private:
    test_support::TempDir names_;
    QuietObserver observer_;
    std::unique_ptr<agent::AgentState> state_;
    std::unique_ptr<agent::DiscoveryResponder> responder_;
    bool bound_ = false;
    std::thread thread_;
};

IpAddress AddressOf(const test_support::TestNetwork& network, int host) {
    return IpAddress::V4(quarn::ParseIpv4(network.Address(host)).value_or(0));
}

// Host 1 is the Console, host 2 an EndPoint, host 3 a machine without one; the address
// 198.18.0.99 belongs to nobody.
TEST(RttProberNetnsTest, MeasuresEveryProbeToAnEndPointAndNothingWhereNoneAnswers) {
    QUARN_SKIP_WITHOUT_NETNS();
    test_support::TestNetwork network(3);
    Responder endpoint(network, 2);
    ASSERT_TRUE(endpoint.Bound());

    const IpAddress answering = AddressOf(network, 2);
    const IpAddress silent = AddressOf(network, 3);
    const IpAddress nobody = IpAddress::V4(quarn::ParseIpv4("198.18.0.99").value_or(0));
    std::unique_ptr<RttProber> prober;
    network.RunInHost(1, [&] {
        // A search just before the run took three of this source's reply tokens.
        platform::Socket search = platform::UdpSocket(false);
        for (int i = 0; i < 3; ++i) {
            platform::SendTo(search, "hello", answering.V4Value(), 54321);
        }
        RttProber::Options options;
        options.schedule.loadStartsIn = std::chrono::milliseconds(1500);
        prober =
            std::make_unique<RttProber>(std::vector<IpAddress>{answering, silent, nobody}, options);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(6300));
    prober->Stop();

    const RttRecord record = prober->Record(answering).value();
    EXPECT_EQ(record.idleMs.size(), 3u);
    EXPECT_GE(record.loadedMs.size(), 4u);
    // None refused by the EndPoint's limit, none lost on an idle link.
    EXPECT_EQ(record.idleLost + record.loadedLost, 0);
    EXPECT_EQ(prober->Sent(answering),
              static_cast<int>(record.idleMs.size() + record.loadedMs.size()));
    for (const double ms : record.loadedMs) {
        EXPECT_GT(ms, 0.0);
        EXPECT_LT(ms, 1000.0);
    }
    for (const IpAddress& unanswered : {silent, nobody}) {
        const RttRecord none = prober->Record(unanswered).value();
        EXPECT_TRUE(none.idleMs.empty() && none.loadedMs.empty());
        EXPECT_GE(none.idleLost + none.loadedLost, 4);
        PairQuality quality;
        ApplyRtt(none, quality);
        EXPECT_FALSE(quality.rttIdleMs || quality.rttLoadedMedianMs);
    }
}

}  // namespace
}  // namespace quarn::console
