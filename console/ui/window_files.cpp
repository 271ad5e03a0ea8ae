#include "console/ui/window_files.h"

#include <QLineEdit>
#include <QSignalBlocker>

#include "console/ui/all_strip.h"
#include "console/ui/caption_bar.h"
#include "console/ui/chart_export_menu.h"
#include "console/ui/chart_widget.h"
#include "console/ui/endpoint_panel.h"
#include "console/ui/file_panel.h"
#include "console/ui/help_window.h"
#include "console/ui/main_commands.h"
#include "console/ui/main_window.h"
#include "console/ui/notice_panel.h"
#include "console/ui/pair_list_widget.h"
#include "widgets/skin_button.h"
#include "widgets/skin_combo.h"
#include "widgets/text.h"

namespace quarn::console::ui {
using widgets::FromUtf8;

WindowFiles::WindowFiles(MainWindow& window)
    : window_(window),
      dialogs_(&window),
      logs_(window.Data(), &window),
      files_(window.Session().OpenFiles(*this, dialogs_, FileDialogBoxes::DefaultConfigFolder())),
      panel_(new FilePanel(&window)),
      chartMenu_(
          new ChartExportMenu(window.Chart(), window.Data(), FromUtf8(files_.ConfigFolder()))) {
    panel_->SetToggleButton(window.FileMenuButton());
    connect(panel_.data(), &FilePanel::commandChosen, this,
            [this](FileCommand command) { files_.Run(command); });
    chartMenu_->setObjectName(QStringLiteral("chartExportMenu"));
    chartMenu_->SetNotice([this](NoticeKind kind, const QString& text) {
        window_.Events().ShowNotice(kind, text.toStdString());
    });
    connect(&window, &MainWindow::fileMenuClicked, panel_.data(), &FilePanel::Toggle);
    connect(&window, &MainWindow::helpRequested, this, [this] { HelpWindow::Open(&window_); });
    connect(&window.Commands(), &MainCommands::showLogRequested, this,
            [this](PairId pair) { logs_.Open(pair, window_.Run().Measuring()); });
    const ConsoleSignals* events = &window.Events();
    connect(events, &ConsoleSignals::runStarted, this, [this] { logs_.RunStarted(); });
    connect(events, &ConsoleSignals::logChanged, this,
            [this](PairId pair) { logs_.LineAdded(pair); });
    connect(events, &ConsoleSignals::logsCounted, this, &WindowFiles::LogsCounted);
    connect(events, &ConsoleSignals::fileBusyChanged, this, &WindowFiles::FileBusyChanged);
    connect(events, &ConsoleSignals::fileFinished, this, &WindowFiles::FileFinished);
    connect(events, &ConsoleSignals::tableChanged, this, &WindowFiles::TableChanged);
    Layout(window.width());
}

// Before the window's data and dispatcher go: the file flow joins its worker, which may
// still post to the dispatcher and report to this host.
WindowFiles::~WindowFiles() {
    window_.Session().CloseFiles();
    delete chartMenu_.data();
    delete panel_.data();
}

void WindowFiles::Layout(int width) {
    panel_->PlaceFor(width);
    panel_->raise();
}

void WindowFiles::IntroEnded() {
    panel_->hide();
    Layout(window_.width());
}

void WindowFiles::LogsCounted(const std::vector<PairId>& pairs) {
    for (const PairId pair : pairs) {
        logs_.LineAdded(pair);
    }
}

void WindowFiles::CommitEditsToSettings() {
    window_.Data().StoreSettingTexts(window_.DurationEdit()->text().toStdString(),
                                     window_.ValueEdit()->text().toStdString());
}

void WindowFiles::PerformNew() {
    logs_.CloseAll();
    window_.PairList()->clearSelection();
    window_.Data().ResetToNew();
    window_.DurationEdit()->setText(FromUtf8(window_.Data().settings.durationText));
    ShowData();
    emit newPerformed();
}

void WindowFiles::FileBusyChanged(bool busy) {
    window_.Chart()->SetLoading(window_.Data().chart.Loading());
    if (!busy) {
        window_.Notice()->StopProgress();
    }
}

void WindowFiles::FileFinished(bool opened) {
    window_.Caption()->SetFileName(FromUtf8(files_.CurrentFileName()));
    if (opened) {
        ShowOpenedSettings();
        ShowData();
    }
    window_.update();
}

void WindowFiles::ShowRestoredRun() {
    logs_.CloseAll();
    window_.PairList()->clearSelection();
    ShowOpenedSettings();
    ShowData();
}

void WindowFiles::ShowPlanStep() {
    ShowOpenedSettings();
    ShowData();
    logs_.TableChanged();
}

void WindowFiles::ShowOpenedSettings() {
    const MeasurementSettings& settings = window_.Data().settings;
    window_.DurationEdit()->setText(FromUtf8(settings.durationText));
    {
        // The file's protocol comes with its own rate text: no switch handling.
        const QSignalBlocker quiet(window_.Protocol());
        window_.Protocol()->setCurrentIndex(settings.protocol == Protocol::Udp ? 1 : 0);
    }
    window_.ValueEdit()->setText(FromUtf8(settings.ValueText()));
}

// The table, the EndPoint lists and the chart as the data now hold them.
void WindowFiles::ShowData() {
    const ConsoleData& data = window_.Data();
    if (data.endPointsKnown) {
        window_.EndPoints()->ShowEntries(data.endPoints);
    } else {
        window_.EndPoints()->ShowEmpty();
    }
    window_.Caption()->SetFileName(FromUtf8(files_.CurrentFileName()));
    window_.UpdateLayout();
    window_.RedrawList();
    window_.TotalToggle()->update();
    window_.Chart()->Refresh();
    window_.update();
}

}  // namespace quarn::console::ui
