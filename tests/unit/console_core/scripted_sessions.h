#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "address/ipv4.h"
#include "console/core/pair_measurement.h"
#include "console/core/run_environment.h"

namespace quarn::console::test {

// What a scripted pair session does when run.
struct SessionScript {
    std::vector<std::string> lines;
    std::optional<std::size_t> gateBefore;  // waits for OpenGate before this line
    bool streamEnded = false;               // reports the end of End Point 2's stream
    bool waitForAbort = true;               // otherwise returns right after the lines
    bool ignoreStop = false;                // a late worker that goes on regardless
    MeasurementEnd result = MeasurementEnd::Ended;
    bool cannotStart = false;            // the factory gives no session
    std::optional<PairFailure> failure;  // what the session says went wrong
};

// Shared by the test and one session.
struct SessionProbe {
    PairJob job;
    std::atomic<bool> gateOpen{false};
    std::atomic<bool> runCalled{false};
    std::atomic<bool> aborted{false};
    std::atomic<bool> returned{false};
    std::atomic<int> linesAttempted{0};
};

class ScriptedSession : public PairMeasurement {
  public:
    ScriptedSession(SessionScript script, std::shared_ptr<SessionProbe> probe)
        : script_(std::move(script)), probe_(std::move(probe)) {}

    MeasurementEnd Run(PairLineSink& sink, std::stop_token stop) override {
        probe_->runCalled = true;
        const auto halted = [&] { return stop.stop_requested() || probe_->aborted.load(); };
        const auto stopped = [&] { return !script_.ignoreStop && halted(); };
        for (std::size_t i = 0; i < script_.lines.size(); ++i) {
            while (script_.gateBefore == i && !probe_->gateOpen && !stopped()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            if (stopped()) {
                break;
            }
            ++probe_->linesAttempted;
            sink.LineReady(probe_->job.index, script_.lines[i]);
        }
        if (script_.streamEnded) {
            sink.StreamEnded(probe_->job.index);
        }
        while (script_.waitForAbort && !halted()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        probe_->returned = true;
        return script_.result;
    }
    void Abort() override { probe_->aborted = true; }
    std::optional<PairFailure> Failure() const override { return script_.failure; }

  private:
    SessionScript script_;
    std::shared_ptr<SessionProbe> probe_;
};

// Hands out sessions from per-row scripts, in the order the rows are started.
class ScriptedSessionFactory : public PairMeasurementFactory {
  public:
    void Script(int row, SessionScript script) { scripts_[row].push_back(std::move(script)); }

    std::unique_ptr<PairMeasurement> Create(const PairJob& job) override {
        SessionScript script;
        if (auto& queue = scripts_[job.index]; !queue.empty()) {
            script = std::move(queue.front());
            queue.pop_front();
        }
        probes.push_back(std::make_shared<SessionProbe>());
        probes.back()->job = job;
        if (script.cannotStart) {
            return nullptr;
        }
        return std::make_unique<ScriptedSession>(std::move(script), probes.back());
    }

    std::vector<std::shared_ptr<SessionProbe>> probes;  // in creation order

  private:
    std::map<int, std::deque<SessionScript>> scripts_;
};

class FakeEnvironment : public RunEnvironment {
  public:
    void EndLeftoverClients() override { ++leftoverEnds; }
    void BroadcastRestart() override {
        ++restarts;
        if (onRestart)
            onRestart();
    }
    std::optional<std::uint32_t> OwnAddress() override { return ownAddress; }
    bool IsThisMachine(const std::string& address) override {
        const std::optional<std::uint32_t> parsed = ParseIpv4(address);
        return parsed && ownAddress && *parsed == *ownAddress;
    }
    std::string IperfPath() override { return "/opt/quarn/iperf"; }
    void StartRttProbes(const std::vector<std::string>& endpoints,
                        std::chrono::milliseconds loadStartsIn) override {
        rttTargets.push_back(endpoints);
        rttLoadStartsIn = loadStartsIn;
    }
    void StopRttProbes() override { ++rttStops; }
    std::optional<LinkFacts> LinkTowards(const std::string& endpoint2) override {
        linksAskedTowards.push_back(endpoint2);
        const auto found = linksTowards.find(endpoint2);
        return found == linksTowards.end() ? std::nullopt : std::optional<LinkFacts>(found->second);
    }
    std::optional<RttRecord> RttOf(const std::string& endpoint, bool withLoadedSamples) override {
        const auto found = rtt.find(endpoint);
        if (found == rtt.end()) {
            return std::nullopt;
        }
        RttRecord record = found->second;
        if (!withLoadedSamples) {
            record.loadedMs.clear();
        }
        return record;
    }

    std::vector<std::vector<std::string>> rttTargets;  // of each StartRttProbes
    std::chrono::milliseconds rttLoadStartsIn{-1};
    int rttStops = 0;
    std::map<std::string, RttRecord> rtt;
    std::map<std::string, LinkFacts> linksTowards;  // this machine's link, by End Point 2
    std::vector<std::string> linksAskedTowards;
    int leftoverEnds = 0;
    int restarts = 0;
    std::optional<std::uint32_t> ownAddress;
    std::function<void()> onRestart;
};

}  // namespace quarn::console::test
