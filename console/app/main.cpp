#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "console/headless/headless_console.h"
#include "console/headless/headless_options.h"
#include "console/headless/signal_watcher.h"
#include "platform/iperf_locator.h"

int main(int argc, char** argv) {
    using namespace quarn::console;
    std::setlocale(LC_ALL, "");
    BlockTerminationSignals();  // before any thread exists
    const std::vector<std::string> args(argv, argv + argc);
    const std::string program = args.empty() ? "Quarn_Console" : args[0];

    ParseResult parsed = ParseHeadlessOptions(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "%s\nTry '%s --help'.\n", parsed.error.c_str(), program.c_str());
        return kExitRefused;
    }
    if (parsed.options.help) {
        std::fputs(HeadlessUsage(program).c_str(), stdout);
        return kExitOk;
    }
    bool headless = false;
    for (const std::string& arg : args)
        headless = headless || arg == "--headless";
    if (!headless) {
        std::fprintf(stderr,
                     "Quarn_Console: the main window is not available in this build; "
                     "running headless.\n");
    }
    HeadlessEnvironment environment;
    environment.iperfPath = quarn::platform::FindIperf(quarn::platform::OwnExecutableDir());
    return RunHeadlessConsole(parsed.options, environment);
}
