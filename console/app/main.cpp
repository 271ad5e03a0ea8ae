#include <algorithm>
#include <clocale>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "console/headless/headless_console.h"
#include "console/headless/headless_options.h"
#include "console/headless/signal_watcher.h"
#include "platform/iperf_locator.h"
#ifdef QUARN_WITH_WINDOW
#include "console/ui/chart_picture.h"
#include "console/ui/window_app.h"
#endif

namespace {

#ifdef QUARN_WITH_WINDOW
constexpr const char* kWindowUsage =
    "Without --headless, Quarn_Console opens its main window (one per user session; a\n"
    "second start brings the running window to the front and exits). There, only\n"
    "--interface NAME (repeatable), --metrics [ADDR:]PORT, --history-limit SIZE and\n"
    "--lab-key FILE apply, as below. A FILE given last is opened as the File panel's\n"
    "Open does:\n"
    "  Quarn_Console [--interface NAME] [--metrics PORT] [--lab-key FILE] [FILE.config]\n"
    "The window journals its runs into the same history, offers at start to recover a\n"
    "run that did not finish, and lists Recent runs beside the File panel.\n"
    "\n";

// Options that only a headless run uses.
bool HasHeadlessOnlyOptions(const quarn::console::HeadlessOptions& o) {
    return o.search || o.noRun || !o.pairs.empty() || o.durationText || o.protocol ||
           o.windowText || o.throughputText || !o.openPath.empty() || !o.savePath.empty() ||
           !o.csvPath.empty() || !o.comparePath.empty() || !o.reportPath.empty() ||
           !o.passLines.Empty() || !o.baselinePath.empty() || !o.reportTitle.empty();
}
#else
constexpr const char* kWindowUsage =
    "This build has no main window: Quarn_Console always runs headless.\n"
    "\n";
#endif

}  // namespace

int main(int argc, char** argv) {
    using namespace quarn::console;
    std::setlocale(LC_ALL, "");
    BlockTerminationSignals();  // before any thread exists
    const std::vector<std::string> args(argv, argv + argc);
    const std::string program = args.empty() ? "Quarn_Console" : args[0];

    Result<HeadlessOptions> parsed = ParseHeadlessOptions(args);
#ifdef QUARN_WITH_WINDOW
    // A configuration file as the last argument opens in the window (desktop entries pass
    // the file that way).
    std::string openFile;
    if (!parsed && args.size() > 1 && !args.back().starts_with('-')) {
        Result<HeadlessOptions> withoutFile =
            ParseHeadlessOptions(std::vector<std::string>(args.begin(), args.end() - 1));
        if (withoutFile && std::find(args.begin(), args.end(), "--headless") == args.end()) {
            openFile = args.back();
            parsed = std::move(withoutFile);
        }
    }
#endif
    if (!parsed) {
        std::fprintf(stderr, "%s\nTry '%s --help'.\n", parsed.Why().c_str(), program.c_str());
        return kExitRefused;
    }
    if (parsed->help) {
        std::fputs(kWindowUsage, stdout);
        std::fputs(HeadlessUsage(program).c_str(), stdout);
        return kExitOk;
    }
    bool headless = false;
    for (const std::string& arg : args)
        headless = headless || arg == "--headless";
    const std::string iperfPath = quarn::platform::FindIperf(quarn::platform::OwnExecutableDir());
    if (!headless) {
#ifdef QUARN_WITH_WINDOW
        if (HasHeadlessOnlyOptions(*parsed)) {
            std::fprintf(stderr, "Those options need --headless.\nTry '%s --help'.\n",
                         program.c_str());
            return kExitRefused;
        }
        SessionOptions session;
        session.iperfPath = iperfPath;
        session.interfaces = parsed->interfaces;
        session.historyLimit = parsed->historyLimit;
        session.metricsAddress = parsed->metricsAddress;
        Result<std::optional<quarn::labkey::LabKey>> key = LoadLabKeyOption(*parsed);
        if (!key) {
            std::fprintf(stderr, "%s\n", key.Why().c_str());
            return kExitRefused;
        }
        session.labKey = std::move(key).Value();
        quarn::console::ui::MainWindow::Options window;
        window.openFile = openFile;
        window.offerRecovery = true;
        window.labKeyPath = parsed->labKeyPath;
        // SIGINT and SIGTERM quit as a confirmed quit does: no iperf is left behind.
        return quarn::console::ui::RunConsoleWindow(
            argc, argv, std::move(session), std::move(window), [](std::function<void()> quit) {
                return std::static_pointer_cast<void>(
                    std::make_shared<SignalWatcher>([quit = std::move(quit)](int) { quit(); }));
            });
#else
        std::fprintf(stderr,
                     "Quarn_Console: the main window is not available in this build; "
                     "running headless.\n");
#endif
    }
    HeadlessEnvironment environment;
    environment.iperfPath = iperfPath;
#ifdef QUARN_WITH_WINDOW
    // A report's chart is drawn by the window's chart widget, on no display.
    if (!parsed->reportPath.empty()) {
        environment.reportCharts = [](const ConsoleData& data) {
            return quarn::console::ui::OffscreenReportCharts(data);
        };
        return quarn::console::ui::RunWithOffscreenQt(
            argc, argv, [&] { return RunHeadlessConsole(*parsed, environment); });
    }
#endif
    return RunHeadlessConsole(*parsed, environment);
}
