#include "endpoint/window/window_program.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <cstdio>

#include "endpoint/window/endpoint_window.h"
#include "firewall/firewall.h"
#include "platform/single_instance.h"

namespace quarn::endpoint_window {
namespace {

constexpr const char* kInstanceName = "endpoint";
constexpr const char* kProgramName = "Quarn_EndPoint";

// SIGINT and SIGTERM arrive on a descriptor, blocked in every thread started after this,
// so the agent is shut down the same way as by Exit.
int TakeShutdownSignals() {
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    if (pthread_sigmask(SIG_BLOCK, &blocked, nullptr) != 0) {
        return -1;
    }
    return signalfd(-1, &blocked, SFD_CLOEXEC | SFD_NONBLOCK);
}

}  // namespace

int RunWindowProgram(int& argc, char** argv, agent::AgentConfig config) {
    // Before any display is needed: a second start only knocks and leaves.
    platform::SingleInstance instance;
    if (!instance.Acquire(kInstanceName)) {
        if (!platform::SingleInstance::NotifyRunning(kInstanceName)) {
            std::fprintf(stderr, "%s: an EndPoint is already running\n", kProgramName);
        }
        return 0;
    }
    firewall::RegisterFirewallExceptions(kProgramName);

    const int signalFd = TakeShutdownSignals();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tolvex Quarn EndPoint"));
    QApplication::setDesktopFileName(QStringLiteral("quarn-endpoint"));

    EndPointWindow window(std::move(config));
    window.ListenForRaise(instance);
    if (signalFd >= 0) {
        auto* signalNotifier = new QSocketNotifier(signalFd, QSocketNotifier::Read, &window);
        QObject::connect(signalNotifier, &QSocketNotifier::activated, &window, [signalFd, &window] {
            signalfd_siginfo info;
            [[maybe_unused]] const ssize_t ignored = read(signalFd, &info, sizeof info);
            window.Shutdown();
        });
    }
    window.show();
    window.StartAgent();
    const int exitCode = QApplication::exec();
    window.Shutdown();
    if (signalFd >= 0) {
        close(signalFd);
    }
    return exitCode;
}

}  // namespace quarn::endpoint_window
