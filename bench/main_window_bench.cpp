// The main window's cost while it shows a run: its CPU share with 16 pairs fed at the
// real rate (one iperf server line per pair and second, through the same core path as a
// real run: worker threads, the dispatcher, the tick processing, the repaints), and the
// time of one full paint with 16 pairs and 60 points each, against the 1-s tick. The CPU
// share is measured twice, without and with the round-trip probes, and printed side by
// side; the probes go to a responder of this program on loopback addresses.
// Usage: bench_main_window [SECONDS]   (default 60 per variant; runs offscreen)
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "address/ip_address.h"
#include "address/ipv4.h"
#include "bench/server_lines.h"
#include "console/core/pair_measurement.h"
#include "console/core/run_environment.h"
#include "console/net/rtt_prober.h"
#include "console/ui/main_window.h"
#include "console/ui/qt_dispatcher.h"
#include "platform/socket.h"

namespace {

using namespace quarn;
using Clock = std::chrono::steady_clock;

// One pair's iperf server output, one report per second from the run's start on.
class PacedSession : public console::PairMeasurement {
  public:
    explicit PacedSession(int row) : lines_("198.18.0.12", "198.18.0.11", 5000 + row) {}

    console::MeasurementEnd Run(console::PairLineSink& sink, std::stop_token stop) override {
        for (int i = 0; i < bench::ServerLines::kHeaderLines; ++i)
            sink.LineReady(0, lines_.Header(i));
        const Clock::time_point start = Clock::now();
        std::string line;
        for (std::int64_t second = 0; !stop.stop_requested() && !aborted_.load(); ++second) {
            std::this_thread::sleep_until(start + std::chrono::seconds(second + 1));
            if (stop.stop_requested() || aborted_.load())
                break;
            line.clear();
            lines_.AppendInterval(second, line);
            sink.LineReady(0, line);
        }
        return console::MeasurementEnd::Ended;
    }
    void Abort() override { aborted_ = true; }

  private:
    bench::ServerLines lines_;
    std::atomic<bool> aborted_{false};
};

class PacedFactory : public console::PairMeasurementFactory {
  public:
    std::unique_ptr<console::PairMeasurement> Create(const console::PairJob& job) override {
        return std::make_unique<PacedSession>(job.index);
    }
};

// Nothing leaves this machine: no process to end, no broadcast.
class QuietEnvironment : public console::RunEnvironment {
  public:
    void EndLeftoverClients() override {}
    void BroadcastRestart() override {}
    std::optional<std::uint32_t> OwnAddress() override { return 0xC612000Bu; }  // 198.18.0.11
    bool IsThisMachine(const std::string& address) override { return address == "198.18.0.11"; }
    std::string IperfPath() override { return "iperf"; }
};

// Four End Point 2 addresses on loopback, four pairs each, and a port no EndPoint uses.
constexpr int kEndPointTwos = 4;
constexpr std::uint16_t kProbePort = 54391;

std::string EndPointTwo(int k) {
    return "127.0.0." + std::to_string(2 + k % kEndPointTwos);
}

// The same, with round trips probed as a real run does.
class ProbingEnvironment : public QuietEnvironment {
  public:
    void StartRttProbes(const std::vector<std::string>& endpoints,
                        std::chrono::milliseconds loadStartsIn) override {
        std::vector<IpAddress> targets;
        for (const std::string& endpoint : endpoints) {
            if (const auto address = ParseIpAddress(endpoint)) {
                probed_[endpoint] = *address;
                targets.push_back(*address);
            }
        }
        console::RttProber::Options options;
        options.port = kProbePort;
        options.schedule.loadStartsIn = loadStartsIn;
        prober_ = std::make_unique<console::RttProber>(std::move(targets), options);
    }
    void StopRttProbes() override {
        if (prober_)
            prober_->Stop();
    }
    std::optional<console::RttRecord> RttOf(const std::string& endpoint,
                                            bool withLoadedSamples) override {
        const auto found = probed_.find(endpoint);
        if (!prober_ || found == probed_.end())
            return std::nullopt;
        return prober_->Record(found->second, withLoadedSamples);
    }

  private:
    std::unique_ptr<console::RttProber> prober_;
    std::map<std::string, IpAddress> probed_;
};

// A child process answering every probe on the End Point 2 addresses, as an EndPoint's
// discovery port would; its CPU is not the Console's. Ends with this process.
pid_t StartResponder() {
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    std::vector<platform::Socket> sockets;
    std::vector<pollfd> ready;
    for (int k = 0; k < kEndPointTwos; ++k) {
        sockets.push_back(platform::UdpBind(*ParseIpv4(EndPointTwo(k)), kProbePort, false));
        ready.push_back(pollfd{sockets.back().Fd(), POLLIN, 0});
    }
    for (;;) {
        if (::poll(ready.data(), ready.size(), -1) <= 0)
            continue;
        for (std::size_t k = 0; k < ready.size(); ++k) {
            if ((ready[k].revents & POLLIN) == 0)
                continue;
            const platform::DatagramResult got = platform::ReceiveFrom(sockets[k], 64);
            if (got.status == platform::RecvStatus::Data)
                platform::SendTo(sockets[k], "Quarn_EndPoint", got.datagram.addr,
                                 got.datagram.port);
        }
    }
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void AddPairs(console::ui::MainWindow& window, int count) {
    for (int i = 0; i < count; ++i) {
        console::PairConfig pair;
        pair.endpoint1 = "198.18.0." + std::to_string(20 + i);
        pair.endpoint2 = EndPointTwo(i);
        window.Data().AddPair(std::move(pair));
    }
    window.UpdateLayout();
    window.RedrawList();
}

struct CpuShare {
    double share = 0.0;
    double wall = 0.0;
    int ticks = 0;
    int pairsWithRtt = 0;  // pairs whose latest probe was answered
};

// Runs 16 pairs in a fresh window, measures the CPU share over `seconds` after the warm-up;
// with `paint` it then times full paints once 60 seconds are on the chart.
std::optional<CpuShare> MeasureRun(console::RunEnvironment& environment, int seconds, bool paint) {
    PacedFactory sessions;
    console::SessionOptions options;
    options.sessions = &sessions;
    options.environment = &environment;
    console::ui::QtDispatcher dispatcher;
    console::ConsoleSession session(options, dispatcher);
    console::ui::MainWindow window(session);
    window.show();
    window.EndIntro();
    AddPairs(window, 16);
    window.Run().SetStartDelay(std::chrono::milliseconds(0));
    window.Data().settings.durationText = std::to_string(seconds + 60);
    if (!window.Run().Start()) {
        std::fprintf(stderr, "the run did not start\n");
        return std::nullopt;
    }
    // The warm-up first, then the measured stretch.
    if (!QTest::qWaitFor([&] { return window.Data().ticks >= 2; }, 10000)) {
        std::fprintf(stderr, "no second was processed\n");
        return std::nullopt;
    }
    const int ticksBefore = window.Data().ticks;
    const double cpuBefore = CpuSeconds();
    const Clock::time_point wallBefore = Clock::now();
    QTest::qWait(seconds * 1000);
    CpuShare measured;
    const double cpu = CpuSeconds() - cpuBefore;
    measured.wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    measured.ticks = window.Data().ticks - ticksBefore;
    measured.share = cpu / measured.wall;
    for (int row = 1; row < window.Data().table.Size(); ++row)
        measured.pairsWithRtt += window.Data().table[row].figures.quality.lastRttMs ? 1 : 0;

    if (paint) {
        // One full paint of the window with 16 pairs and 60 points each, the run still on.
        if (!QTest::qWaitFor([&] { return window.Data().ticks >= 60; }, 120000)) {
            std::fprintf(stderr, "the run did not reach 60 seconds\n");
            return std::nullopt;
        }
        QImage canvas(window.size(), QImage::Format_RGB32);
        constexpr int kPaints = 50;
        const Clock::time_point paintStart = Clock::now();
        for (int i = 0; i < kPaints; ++i) {
            QPainter painter(&canvas);
            window.render(&painter);
        }
        const double paintMs =
            std::chrono::duration<double, std::milli>(Clock::now() - paintStart).count() / kPaints;
        const auto& series = window.Data().chart.Series();
        std::printf("Full main-window paint, 16 pairs x %zu points: %.2f ms\n",
                    series.size() > 1 ? series[1].size() : 0u, paintMs);
        std::printf("  ratio to the 1-s tick: %.4f\n", paintMs / 1000.0);
    }
    window.Run().StartOrStop();
    window.Quit();
    return measured;
}

}  // namespace

int main(int argc, char** argv) {
    const pid_t responder = StartResponder();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(10, std::atoi(argv[1])) : 60;

    QuietEnvironment quiet;
    ProbingEnvironment probing;
    const std::optional<CpuShare> off = MeasureRun(quiet, seconds, false);
    const std::optional<CpuShare> on = off ? MeasureRun(probing, seconds, true) : std::nullopt;
    kill(responder, SIGTERM);
    waitpid(responder, nullptr, 0);
    if (!off || !on)
        return 1;
    std::printf("CPU share while showing a 16-pair run, %% of one core (target 1%%):\n");
    std::printf("  %-11s %8s %8s %7s %s\n", "", "share", "ratio", "ticks", "pairs with RTT");
    for (const auto& [name, m] : {std::pair{"probes off", *off}, std::pair{"probes on", *on}})
        std::printf("  %-11s %7.3f%% %8.2f %7d %d of 16\n", name, m.share * 100.0, m.share / 0.01,
                    m.ticks, m.pairsWithRtt);
    std::printf("  (a ratio of at most 1 is within target)\n");
    return 0;
}
