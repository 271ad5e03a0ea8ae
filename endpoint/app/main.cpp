#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "endpoint/agent/agent.h"
#include "endpoint/agent/identity.h"
#include "endpoint/app/command_line.h"
#include "endpoint/app/headless_front_end.h"
#ifdef QUARN_HAVE_WINDOW
#include "endpoint/window/window_program.h"
#endif
#include "firewall/firewall.h"
#include "labkey/key_file.h"
#include "platform/iperf_locator.h"
#include "platform/name_store.h"
#include "platform/program_arguments.h"
#include "platform/service_notify.h"
#include "platform/shutdown_signals.h"
#include "platform/single_instance.h"
#include "protocol/probe_reply.h"
#include "version/version.h"

namespace {

using quarn::endpoint_app::Action;

constexpr const char* kProgramName = "Quarn_EndPoint";

int StoreName(const std::string& name) {
    if (quarn::agent::NameIsTooLong(name)) {
        std::fprintf(stderr, "%s: a name may have at most %zu characters; this one has %zu\n",
                     kProgramName, quarn::protocol::kMaxNameCharacters,
                     quarn::protocol::CountCharacters(name));
        return 2;
    }
    if (!quarn::agent::IsAcceptableName(name)) {
        std::fprintf(stderr, "%s: a name must be non-empty text without control characters\n",
                     kProgramName);
        return 2;
    }
    if (!quarn::platform::NameStore(quarn::platform::NameStore::DefaultDir()).Save(name)) {
        std::fprintf(stderr, "%s: cannot store the name\n", kProgramName);
        return 1;
    }
    return 0;
}

int RemoveName() {
    return quarn::platform::NameStore(quarn::platform::NameStore::DefaultDir()).Remove() ? 0 : 1;
}

int WriteLabKey(const std::string& path) {
    std::string why;
    if (!quarn::labkey::WriteNewKeyFile(path, why)) {
        std::fprintf(stderr, "%s: cannot write the lab key %s: %s\n", kProgramName, path.c_str(),
                     why.c_str());
        return 1;
    }
    std::printf("A new lab key is in %s; give a copy to each EndPoint and Console of the lab.\n",
                path.c_str());
    return 0;
}

// Tests shorten how long a stalled requester may hold its slot.
quarn::agent::AgentConfig ProgramConfig(std::optional<quarn::labkey::LabKey> key) {
    quarn::agent::AgentConfig config;
    config.labKey = std::move(key);
    config.iperfPath = quarn::platform::FindIperf(quarn::platform::OwnExecutableDir());
    config.stalledPeerLimit =
        quarn::agent::StalledPeerLimitFrom(std::getenv("QUARN_STALLED_PEER_MS"));
    return config;
}

int RunAgent(std::optional<quarn::labkey::LabKey> key) {
    const quarn::platform::ServiceNotifier serviceManager;
    quarn::endpoint_app::HeadlessFrontEnd frontEnd;
    const quarn::platform::ShutdownSignals signals([&frontEnd] { frontEnd.Stop(); });
    if (!signals.Valid()) {
        std::fprintf(stderr, "%s: cannot watch for shutdown signals\n", kProgramName);
        return 1;
    }
    quarn::platform::SingleInstance instance;
    if (!instance.Acquire("endpoint")) {
        quarn::platform::SingleInstance::NotifyRunning("endpoint");
        std::fprintf(stderr, "%s: an EndPoint is already running\n", kProgramName);
        return 1;
    }
    quarn::firewall::RegisterFirewallExceptions(kProgramName);

    quarn::agent::Agent agent(ProgramConfig(std::move(key)), frontEnd);
    // A service manager learns that both ports are bound; a port in use ends us instead.
    if (agent.Start()) {
        serviceManager.Ready();
    }
    const int exitCode = frontEnd.Run(stdout);
    serviceManager.Stopping();
    agent.Shutdown();
    frontEnd.Flush(stdout);
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    // Names travel in the locale's character set.
    std::setlocale(LC_CTYPE, "");
    std::string error;
    const auto commandLine =
        quarn::endpoint_app::ParseCommandLine(quarn::platform::ProgramArguments(argc, argv), error);
    if (!commandLine) {
        std::fprintf(stderr, "%s: %s\n%s", kProgramName, error.c_str(),
                     quarn::endpoint_app::UsageText().c_str());
        return 2;
    }
    switch (commandLine->action) {
        case Action::Help:
            std::fputs(quarn::endpoint_app::UsageText().c_str(), stdout);
            return 0;
        case Action::Version:
            std::printf("%s %s\n", kProgramName, quarn::kVersionText);
            return 0;
        case Action::SetName:
            return StoreName(commandLine->name);
        case Action::ResetName:
            return RemoveName();
        case Action::NewLabKey:
            return WriteLabKey(commandLine->labKeyPath);
        case Action::Run:
            break;
    }
    std::optional<quarn::labkey::LabKey> key;
    if (!commandLine->labKeyPath.empty()) {
        std::string why;
        key = quarn::labkey::LoadKeyFile(commandLine->labKeyPath, why);
        if (!key) {
            std::fprintf(stderr, "%s: cannot use the lab key %s: %s\n", kProgramName,
                         commandLine->labKeyPath.c_str(), why.c_str());
            return 2;
        }
    }
    if (!commandLine->headless) {
#ifdef QUARN_HAVE_WINDOW
        return quarn::endpoint_window::RunWindowProgram(argc, argv, ProgramConfig(std::move(key)));
#else
        std::fprintf(stderr, "%s: this build has no window; running headless\n", kProgramName);
#endif
    }
    return RunAgent(std::move(key));
}
