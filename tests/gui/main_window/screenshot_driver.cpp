// Takes the README's screenshots: builds a small network of namespaces with EndPoints on
// hosts 2 and 3, photographs the real Quarn_Console's intro and idle window (host 1), then
// drives the same main window in this process through a search, a run and its end.
// Usage (under an X server such as Xvfb): main_window_screenshots OUTPUT_DIR
#include <signal.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QInputDialog>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <cstdio>

#include "console/files/config_file.h"

#include "console/ui/chart_widget.h"
#include "console/ui/endpoint_list_box.h"
#include "console/ui/endpoint_panel.h"
#include "console/ui/help_window.h"
#include "console/ui/history_commands.h"
#include "console/ui/lab_key_dialog.h"
#include "console/ui/log_window.h"
#include "console/ui/log_windows.h"
#include "console/ui/main_commands.h"
#include "console/ui/notice_panel.h"
#include "console/ui/pair_list_model.h"
#include "console/ui/pair_list_widget.h"
#include "console/ui/pair_menu.h"
#include "console/ui/pair_setting_dialog.h"
#include "console/ui/reference_commands.h"
#include "console/ui/window_files.h"
#include "console/ui/window_lab_key.h"
#include "tests/e2e/console_network_test.h"
#include "tests/gui/main_window/window_test_support.h"
#include "tests/gui/named_child.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_network.h"
#include "widgets/skin_button.h"

using quarn::test::NamedChild;

namespace {

using namespace quarn;

bool Save(QWidget& window, const QString& path) {
    const bool saved = window.grab().save(path);
    std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(path));
    return saved;
}

bool ImportRoot(const QString& path) {
    const auto result = test_support::RunCommand({"import", "-window", "root", path.toStdString()});
    std::printf("%s %s\n", result.exitCode == 0 ? "saved" : "FAILED", qPrintable(path));
    return result.exitCode == 0;
}

// Several EndPoints picked in End Point 1 (Ctrl+click) and the pair menu's builders.
bool SaveBuilderMenu(console::ui::MainWindow& window, const QString& dir) {
    console::ui::EndPointListBox* box = window.EndPoints()->List(1);
    for (int row = 0; row < std::min(box->count(), 3); ++row)
        QTest::mouseClick(box->viewport(), Qt::LeftButton,
                          row == 0 ? Qt::NoModifier : Qt::ControlModifier,
                          box->visualItemRect(box->item(row)).center());
    QTest::qWait(200);
    bool ok = Save(window, dir + "/endpoints-selected.png");
    window.Commands().OpenItemMenu(window.Data().table.IdAt(1),
                                   window.mapToGlobal(QPoint(120, 140)));
    QTest::qWait(300);
    ok = Save(*window.Commands().Menu(), dir + "/pair-builders-menu.png") && ok;
    window.Commands().Menu()->hide();
    return ok;
}

// The Lab key dialog with a key in use, and the notice of a key file others may read.
bool SaveLabKey(console::ui::MainWindow& window, const QString& dir) {
    console::ui::LabKeyDialog dialog(QStringLiteral("/etc/quarn/lab.key"), false, QString(),
                                     &window);
    dialog.show();
    QTest::qWait(200);
    bool ok = Save(dialog, dir + "/lab-key-dialog.png");
    dialog.hide();
    const test_support::TempDir keys;
    const std::string open = keys.File("lab.key");
    if (std::FILE* file = std::fopen(open.c_str(), "w")) {
        std::fputs("quarn-lab-key-1 00\n", file);
        std::fclose(file);
    }
    const console::Outcome refused = window.LabKey().Use(open);
    console::ui::LabKeyDialog again(QStringLiteral("/etc/quarn/lab.key"), false,
                                    QString::fromStdString(refused.Why()), &window);
    again.show();
    QTest::qWait(200);
    ok = Save(again, dir + "/lab-key-refused.png") && ok;
    window.Events().ShowNotice(console::NoticeKind::Message,
                               console::ui::WindowLabKey::kKeptRefused);
    QTest::qWait(300);
    ok = Save(window, dir + "/lab-key-kept-refused.png") && ok;
    gui_test::Click(NamedChild<widgets::SkinButton>(*window.Notice(), "confirm"));
    return ok;
}

// The File panel over the finished run, Pair1's log and the help window.
bool SaveSideWindows(console::ui::MainWindow& window, const QString& dir) {
    gui_test::Click(NamedChild<widgets::SkinButton>(*window.Notice(), "confirm"));
    gui_test::Click(window.FileMenuButton());
    QTest::qWait(300);
    bool ok = Save(window, dir + "/file-panel.png");
    gui_test::Click(window.FileMenuButton());
    if (QWidget* log = window.Files().Logs().Open(window.Data().table.IdAt(1), false)) {
        QTest::qWait(300);
        ok = Save(*log, dir + "/log-window.png") && ok;
        log->close();
    } else {
        ok = false;
    }
    if (QWidget* help = console::ui::HelpWindow::Open(&window)) {
        QTest::qWait(500);
        ok = Save(*help, dir + "/help-window.png") && ok;
        help->close();
    } else {
        ok = false;
    }
    return ok;
}

// A pair's tooltip as the list shows it on hovering.
bool SaveTooltip(console::ui::MainWindow& window, int item, const QString& path) {
    console::ui::PairListWidget& list = *window.PairList();
    const QModelIndex index = list.Model()->index(item, 0);
    const QString text = list.Model()->data(index, Qt::ToolTipRole).toString();
    QToolTip::showText(list.viewport()->mapToGlobal(list.visualRect(index).center()), text, &list);
    QTest::qWait(300);
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("QTipLabel") && widget->isVisible())
            return Save(*widget, path);
    }
    std::printf("FAILED %s (no tooltip)\n", qPrintable(path));
    return false;
}

// The tooltip a shown tooltip label carries, saved.
bool SaveShownTip(const QString& path) {
    QTest::qWait(300);
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("QTipLabel") && widget->isVisible())
            return Save(*widget, path);
    }
    std::printf("FAILED %s (no tooltip)\n", qPrintable(path));
    return false;
}

// An EndPoint's link facts as its list's tooltip shows them.
bool SaveEndPointTip(console::ui::MainWindow& window, const QString& path) {
    console::ui::EndPointListBox* box = window.EndPoints()->List(1);
    const QPoint at = box->visualItemRect(box->item(0)).center();
    QHelpEvent help(QEvent::ToolTip, at, box->viewport()->mapToGlobal(at));
    QApplication::sendEvent(box->viewport(), &help);
    return SaveShownTip(path);
}

// The Pair Setting dialog of the first pair with its own pass lines, then cancelled.
bool SavePairSetting(console::ui::MainWindow& window, const QString& path) {
    bool saved = false;
    QTimer::singleShot(300, [&] {
        auto* dialog =
            qobject_cast<console::ui::PairSettingDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        saved = Save(*dialog, path);
        gui_test::Click(NamedChild<widgets::SkinButton>(*dialog, "cancel"));
    });
    console::ui::PairListWidget* list = window.PairList();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                       list->visualRect(list->model()->index(2, 0)).center());
    return saved;
}

// The chart menu's report of the finished run, its title asked by the real dialog.
bool SaveReportExport(console::ui::MainWindow& window, const QString& dir) {
    QFile::remove(dir + "/report.html");
    auto* menu = NamedChild<console::ui::ChartExportMenu>(window, "chartExportMenu");
    menu->SetPathChooser(
        [&](const QString&, const QString&, const QString&) { return dir + "/report.html"; });
    bool saved = false;
    QTimer::singleShot(300, [&] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        dialog->setTextValue(QStringLiteral("Office LAN hand-over, floor 3"));
        saved = Save(*dialog, dir + "/report-title.png");
        dialog->accept();
    });
    menu->AskAndExportReport();
    menu->SetPathChooser({});
    if (!QFile::exists(dir + "/report.html")) {
        std::fprintf(stderr, "the report could not be written\n");
        return false;
    }
    return saved;
}

// The finished run saved and chosen as the reference of a second run of the same pairs:
// its curves dashed behind the new ones, and the pairs' tooltips with both figures.
bool SaveReferenceRun(console::ui::MainWindow& window, const QString& dir) {
    test_support::TempDir saved;
    const std::string file = saved.File("first-run.config");
    console::ui::ReferenceCommands& reference = window.Records().Reference();
    if (console::WriteConfigFile(file, window.Data())) {
        reference.UseFile(file);
        gui_test::WaitFor([&] { return !reference.Loading(); }, 10000);
    }
    if (!reference.Model().Active()) {
        std::fprintf(stderr, "the reference could not be set\n");
        return false;
    }
    gui_test::Click(NamedChild<widgets::SkinButton>(window, "startStop"));
    gui_test::WaitFor([&] { return window.Data().ticks >= 12; }, 40000);
    QTest::qWait(300);
    bool ok = Save(window, dir + "/running-reference.png");
    gui_test::WaitFor([&] { return window.Session().Mode() == console::ConsoleMode::Idle; }, 40000);
    gui_test::Click(NamedChild<widgets::SkinButton>(*window.Notice(), "confirm"));
    QTest::qWait(300);
    ok = Save(window, dir + "/finished-reference.png") && ok;
    return SaveTooltip(window, 0, dir + "/tooltip-reference.png") && ok;
}

int Run(const QString& dir) {
    test_support::TestNetwork network(3);
    std::vector<std::unique_ptr<test_support::TempDir>> configs;
    std::vector<test_support::RunningProgram> endPoints;
    for (int host : {2, 3}) {
        configs.push_back(std::make_unique<test_support::TempDir>());
        const std::vector<std::string> env = {"QUARN_CONFIG_HOME=" + configs.back()->Path()};
        const std::string name = host == 2 ? "Lab PC 2" : "Build server";
        network.Run(host, {e2e::BuiltProgram("Quarn_EndPoint"), "--set-name", name}, env);
        endPoints.push_back(
            network.Spawn(host, {e2e::BuiltProgram("Quarn_EndPoint"), "--headless"}, env));
        if (!endPoints.back().WaitForLine("Started:", 5000)) {
            std::fprintf(stderr, "EndPoint on host %d did not start\n", host);
            return 1;
        }
    }

    // The real program: its intro, then its idle main look.
    const std::string display = qEnvironmentVariable("DISPLAY").toStdString();
    test_support::RunningProgram console = network.Spawn(
        1, {e2e::BuiltProgram("Quarn_Console"), "--interface", "eth0"},
        {"DISPLAY=" + display, "QUARN_INSTANCE_KEY=screenshots-" + std::to_string(getpid())});
    QTest::qWait(900);
    bool ok = ImportRoot(dir + "/intro.png");
    QTest::qWait(2600);
    ok = ImportRoot(dir + "/idle.png") && ok;
    console.Signal(SIGTERM);
    console.WaitExit(5000);

    // The same window in this process, driven through a run.
    gui_test::NamespaceEntry inHost(network.Namespace(1));
    auto window = gui_test::MakeWindow({"eth0"});
    gui_test::ShowMain(*window);
    gui_test::Click(NamedChild<widgets::SkinButton>(*window, "searchEndPoint"));
    gui_test::WaitFor([&] { return window->Session().Mode() == console::ConsoleMode::Idle; }, 8000);
    gui_test::SelectEndPoint(*window, 1, network.Address(2));
    gui_test::SelectEndPoint(*window, 2, network.Address(3));
    gui_test::Click(NamedChild<widgets::SkinButton>(*window, "addEndPoint"));
    gui_test::SelectEndPoint(*window, 1, network.Address(3));
    gui_test::SelectEndPoint(*window, 2, network.Address(2));
    gui_test::Click(NamedChild<widgets::SkinButton>(*window, "addEndPoint"));
    gui_test::AddPairThroughDialog(*window, network.Address(1), network.Address(3));
    window->Data().table.SetShowAddress({window->Data().table.IdAt(2)}, false);
    window->RedrawList();
    // Lines the veths pass, but the third pair's own line no link reaches: it fails.
    window->Data().settings.passLines.minThroughput = console::ThroughputLine{10.0, false};
    window->Data().table[3].config.passLines.minThroughput = console::ThroughputLine{1e6, false};
    ok = SaveEndPointTip(*window, dir + "/endpoint-link-tooltip.png") && ok;
    ok = SaveBuilderMenu(*window, dir) && ok;
    ok = SavePairSetting(*window, dir + "/pair-setting.png") && ok;
    window->DurationEdit()->setText("20");
    gui_test::Click(NamedChild<widgets::SkinButton>(*window, "startStop"));
    gui_test::WaitFor([&] { return window->Data().ticks >= 12; }, 40000);
    gui_test::SelectPairItems(*window, {0});
    QTest::qWait(300);
    ok = Save(*window, dir + "/running.png") && ok;
    gui_test::WaitFor([&] { return window->Session().Mode() == console::ConsoleMode::Idle; },
                      40000);
    QTest::qWait(300);
    ok = Save(*window, dir + "/finished.png") && ok;
    ok = SaveTooltip(*window, 2, dir + "/verdict-tooltip.png") && ok;
    // The same run's round trips through the chart's selector.
    window->Chart()->SetMeasure(console::ChartMeasure::Latency);
    QTest::qWait(100);
    ok = Save(*window, dir + "/finished-latency.png") && ok;
    window->Chart()->SetMeasure(console::ChartMeasure::Throughput);
    // The chart menu's report of the finished run; the script opens it in a browser.
    ok = SaveReportExport(*window, dir) && ok;
    ok = SaveSideWindows(*window, dir) && ok;
    ok = SaveReferenceRun(*window, dir) && ok;
    ok = SaveLabKey(*window, dir) && ok;
    window->Quit();
    window.reset();
    for (auto& endPoint : endPoints) {
        endPoint.Signal(SIGTERM);
        endPoint.WaitExit(5000);
    }
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(dir);
    try {
        return Run(QDir(dir).absolutePath());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "screenshots: %s\n", error.what());
        return 1;
    }
}
