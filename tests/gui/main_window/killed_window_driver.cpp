// A window Console driven through one run, for a test that kills it mid-run: it adds the
// pair EP1 -> EP2 with two streams, presses Start and prints "second N VALUE" for every
// processed second (VALUE as the pair's figure, to the float's last digit), flushed.
// Usage: killed_window_driver EP1 EP2 DURATION
#include <QApplication>
#include <cstdio>
#include <string>

#include "console/core/pair_record.h"
#include "console/ui/console_signals.h"
#include "tests/gui/main_window/window_test_support.h"
#include "tests/gui/named_child.h"
#include "tests/gui/session_window.h"
#include "widgets/skin_button.h"

using quarn::test::NamedChild;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s EP1 EP2 DURATION\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    quarn::console::SessionOptions session;
    session.interfaces = {"eth0"};
    quarn::console::ui::MainWindow::Options options;
    options.introTime = std::chrono::milliseconds(1);
    quarn::gui_test::SessionWindow window(std::move(session), options);
    quarn::gui_test::ShowMain(window);

    quarn::console::PairRecord pair;
    pair.config.endpoint1 = argv[1];
    pair.config.endpoint2 = argv[2];
    pair.config.parallel = 2;
    if (!window.Data().AddPair(std::move(pair.config)).Valid())
        return 1;
    window.RedrawList();
    window.DurationEdit()->setText(QString::fromLatin1(argv[3]));
    QObject::connect(&window.Events(), &quarn::console::ui::ConsoleSignals::tickProcessed, &window,
                     [&window](int ticks) {
                         std::printf("second %d %.9g\n", ticks,
                                     static_cast<double>(window.Data().table[1].figures.current));
                         std::fflush(stdout);
                     });
    quarn::gui_test::Click(NamedChild<quarn::widgets::SkinButton>(window, "startStop"));
    std::printf("started\n");
    std::fflush(stdout);
    return QApplication::exec();
}
