#include "console/ui/window_app.h"

#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "console/ui/instance_raiser.h"
#include "console/ui/qt_dispatcher.h"
#include "firewall/firewall.h"
#include "platform/single_instance.h"

namespace quarn::console::ui {

std::string ConsoleInstanceKey() {
    if (const char* key = std::getenv("QUARN_INSTANCE_KEY"); key && *key)
        return key;
    return "Tolvex_Quarn_Console_{3EFE073B-FF4F-491d-8BCF-DE5D58BA74D9}-" +
           std::to_string(::getuid());
}

int RunConsoleWindow(int& argc, char** argv, SessionOptions sessionOptions,
                     MainWindow::Options windowOptions, const QuitHook& quitHook) {
    const std::string key = ConsoleInstanceKey();
    platform::SingleInstance instance;
    if (!instance.Acquire(key)) {
        if (platform::SingleInstance::NotifyRunning(key))
            return 0;
        // The first instance may just have ended; one more try before giving up.
        if (!instance.Acquire(key)) {
            std::fprintf(stderr, "Quarn_Console: another Console is starting; not opened.\n");
            return 0;
        }
    }
    // The single instance first, then the firewall, as the EndPoint's start-up does.
    firewall::RegisterFirewallExceptions("Quarn_Console");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tolvex Quarn Console"));
    // Matches the installed desktop entry, so desktops show its icon for the window.
    QApplication::setDesktopFileName(QStringLiteral("quarn-console"));
    QtDispatcher dispatcher;
    ConsoleSession session(std::move(sessionOptions), dispatcher);
    // Only iperf clients this Console started are ever ended.
    session.Environment().EndLeftoverClients();
    MainWindow window(session, std::move(windowOptions));
    InstanceRaiser raiser(instance, &window);
    // Windows of their own (log, help) must not keep the program alive after a quit.
    QObject::connect(&window, &MainWindow::quitted, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    std::shared_ptr<void> quitSource;
    if (quitHook) {
        quitSource = quitHook([&window] {
            QMetaObject::invokeMethod(
                &window, [&window] { window.Quit(); }, Qt::QueuedConnection);
        });
    }
    window.show();
    const int status = QApplication::exec();
    quitSource.reset();
    return status;
}

int RunWithOffscreenQt(int& argc, char** argv, const std::function<int()>& body) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return body();
}

}  // namespace quarn::console::ui
