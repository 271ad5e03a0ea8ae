// A window Console driven through one run, for a test that kills it mid-run: it adds the
// pairs EP1 -> EP2 (one stream each), sets UDP at MBIT Mbit/s, presses Start and prints
// "second N VALUE1 VALUE2 ..." for every processed second (each pair's figure in list order,
// to the float's last digit), flushed.
// Usage: killed_window_driver DURATION MBIT EP1,EP2 [EP1,EP2 ...]
#include <QApplication>
#include <cstdio>
#include <string>

#include "console/core/pair_record.h"
#include "console/ui/console_signals.h"
#include "tests/gui/main_window/window_test_support.h"
#include "tests/gui/named_child.h"
#include "tests/gui/session_window.h"
#include "widgets/skin_button.h"
#include "widgets/skin_combo.h"

namespace {

bool AddPair(quarn::gui_test::SessionWindow& window, const std::string& text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos)
        return false;
    quarn::console::PairRecord pair;
    pair.config.endpoint1 = text.substr(0, comma);
    pair.config.endpoint2 = text.substr(comma + 1);
    pair.config.parallel = 1;
    return window.Data().AddPair(std::move(pair.config)).Valid();
}

}  // namespace

using quarn::test::NamedChild;

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s DURATION MBIT EP1,EP2 [EP1,EP2 ...]\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    quarn::console::SessionOptions session;
    session.interfaces = {"eth0"};
    quarn::console::ui::MainWindow::Options options;
    options.introTime = std::chrono::milliseconds(1);
    quarn::gui_test::SessionWindow window(std::move(session), options);
    quarn::gui_test::ShowMain(window);

    for (int arg = 3; arg < argc; ++arg) {
        if (!AddPair(window, argv[arg]))
            return 1;
    }
    window.RedrawList();
    window.Protocol()->setCurrentIndex(1);  // UDP
    window.ValueEdit()->setText(QString::fromLatin1(argv[2]));
    window.DurationEdit()->setText(QString::fromLatin1(argv[1]));
    QObject::connect(&window.Events(), &quarn::console::ui::ConsoleSignals::tickProcessed, &window,
                     [&window](int ticks) {
                         std::string line = "second " + std::to_string(ticks);
                         const auto& table = window.Data().table;
                         for (int row = 1; row < table.Size(); ++row) {
                             char value[32];
                             std::snprintf(value, sizeof value, " %.9g",
                                           static_cast<double>(table[row].figures.current));
                             line += value;
                         }
                         std::printf("%s\n", line.c_str());
                         std::fflush(stdout);
                     });
    quarn::gui_test::Click(NamedChild<quarn::widgets::SkinButton>(window, "startStop"));
    std::printf("started\n");
    std::fflush(stdout);
    return QApplication::exec();
}
