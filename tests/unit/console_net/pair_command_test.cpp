#include "console/net/pair_command.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "console/core/measurement_run.h"
#include "protocol/client_command.h"
#include "protocol/command_validation.h"

namespace quarn::console {
namespace {

PairJob Job(bool udp) {
    PairJob job;
    job.endpoint1 = "198.18.0.12";
    job.endpoint2 = "198.18.0.13";
    job.udp = udp;
    job.time = "310";
    job.rateText = "100.000000m";
    return job;
}

// What End Point 1's command check makes of the command the Console sends for the job.
bool EndPointTakes(const PairJob& job) {
    const std::string line = protocol::BuildClientCommand(ClientCommandFor(job));
    return protocol::ValidateClientCommand(line).has_value();
}

// The Console refuses at entry exactly what an EndPoint would refuse in the command: a
// bound defined twice drifts, and a run then fails only once it has started.
TEST(PairCommand, TheConsoleTakesWhatAnEndPointTakesAtEachBound) {
    for (const double mbits : {0.0000001, 0.000001, 1.0, 100000.0, 100000.01, 100001.0}) {
        PairJob job = Job(true);
        job.rateText = RateText(mbits);
        EXPECT_EQ(ThroughputRefusal(mbits).empty(), EndPointTakes(job)) << job.rateText;
    }
    for (const bool udp : {true, false}) {
        const Protocol protocol = udp ? Protocol::Udp : Protocol::Tcp;
        for (const int length : {1, 19, 20, 1470, 65507, 65508, 1048576, 1048577}) {
            PairJob job = Job(udp);
            job.traffic.length = length;
            const bool typed = ParseWholeIn(std::to_string(length), 1, kMaxTcpLength).has_value();
            const bool taken = typed && TrafficRefusal(job.traffic, protocol).empty();
            EXPECT_EQ(taken, EndPointTakes(job)) << length << (udp ? " UDP" : " TCP");
        }
    }
    for (const int mss : {535, 536, 1460, 9000, 9001}) {
        PairJob job = Job(false);
        job.traffic.mss = mss;
        EXPECT_EQ(ParseWholeIn(std::to_string(mss), kMinMss, kMaxMss).has_value(),
                  EndPointTakes(job))
            << mss;
    }
    for (const int dscp : {0, 46, 63, 64}) {
        PairJob job = Job(false);
        job.traffic.dscp = dscp;
        EXPECT_EQ(ParseDscp(std::to_string(dscp)).has_value(), EndPointTakes(job)) << dscp;
    }
}

}  // namespace
}  // namespace quarn::console
