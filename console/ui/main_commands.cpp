#include "console/ui/main_commands.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "console/ui/all_strip.h"
#include "console/ui/endpoint_panel.h"
#include "console/ui/main_window.h"
#include "console/ui/notice_panel.h"
#include "console/ui/pair_list_widget.h"
#include "console/ui/pair_menu.h"
#include "console/ui/pair_setting_dialog.h"
#include "console/ui/window_files.h"
#include "widgets/skin_button.h"
#include "widgets/skin_combo.h"

namespace quarn::console::ui {

MainCommands::MainCommands(MainWindow& window)
    : window_(window),
      search_(window.Discovery(), window.Dispatcher()),
      menu_(new PairMenu(&window)) {
    connect(menu_->exchange, &QAction::triggered, this, [this] { ExchangeSelected(); });
    connect(menu_->showLog, &QAction::triggered, this, [this] { ShowLog(); });
    connect(menu_->showAsAddress, &QAction::triggered, this, [this] { ShowSelectedAs(true); });
    connect(menu_->showAsName, &QAction::triggered, this, [this] { ShowSelectedAs(false); });
    connect(menu_->activate, &QAction::triggered, this, [this] { ActivateSelected(true); });
    connect(menu_->inactivate, &QAction::triggered, this, [this] { ActivateSelected(false); });
    connect(menu_->copy, &QAction::triggered, this, [this] { Copy(); });
    connect(menu_->paste, &QAction::triggered, this, [this] { Paste(); });
    connect(menu_->remove, &QAction::triggered, this, [this] { DeleteSelected(); });
}

MainCommands::~MainCommands() {
    StopSearch();
}

void MainCommands::Notice(const std::string& text) {
    if (!text.empty())
        window_.ShowNotice(NoticeKind::Message, text);
}

std::vector<int> MainCommands::SelectedRows() const {
    std::vector<int> rows;
    return window_.PairList()->SelectedTableRows();
}

void MainCommands::StoreSettingTexts() {
    MeasurementSettings& settings = window_.Data().settings;
    settings.durationText = window_.DurationEdit()->text().toStdString();
    settings.ValueText() = window_.ValueEdit()->text().toStdString();
}

void MainCommands::StartOrStop() {
    if (window_.Run().Mode() == ConsoleMode::Idle)
        StoreSettingTexts();
    window_.Run().StartOrStop();
}

void MainCommands::AfterShapeChange() {
    window_.UpdateLayout();
    window_.RedrawList();
    emit rowsChanged();
}

void MainCommands::AddManually() {
    ConsoleData& data = window_.Data();
    if (window_.Run().Mode() != ConsoleMode::Idle)
        return;
    const std::string refusal = data.table.CheckRoomForPair();
    if (!refusal.empty()) {
        Notice(refusal);
        return;
    }
    PairSettingDialog dialog(true, PairRecord(), data.settings.udp != 0, &window_);
    if (dialog.exec() == QDialog::Accepted) {
        data.AddPair(dialog.NewRecord());
        AfterShapeChange();
    }
}

void MainCommands::EditPair(int item) {
    ConsoleData& data = window_.Data();
    const int row = item + 1;
    if (!data.table.IsPairRow(row) || window_.Run().Mode() != ConsoleMode::Idle)
        return;
    PairSettingDialog dialog(false, data.table[row], data.settings.udp != 0, &window_);
    // The table keeps its shape while the dialog is open: nothing else runs in Idle mode.
    if (dialog.exec() == QDialog::Accepted) {
        data.table.EditPair(row, dialog.Endpoint1(), dialog.Endpoint2(), dialog.Parallel());
        window_.RedrawList();
    }
}

void MainCommands::DeleteSelected() {
    ConsoleData& data = window_.Data();
    if (window_.Run().Mode() != ConsoleMode::Idle)
        return;
    std::vector<int> rowMap;
    const std::string refusal = data.DeletePairs(window_.Run().Mode(), SelectedRows(), &rowMap);
    if (!refusal.empty()) {
        Notice(refusal);
        return;
    }
    window_.Files().RowsMoved(rowMap);  // open log windows follow their pairs
    window_.PairList()->clearSelection();
    AfterShapeChange();
}

void MainCommands::AddFromLists() {
    ConsoleData& data = window_.Data();
    if (window_.Run().Mode() != ConsoleMode::Idle)
        return;
    const EndPointPanel& panel = *window_.EndPoints();
    const std::string refusal = data.AddPairFromLists(panel.Selection(1), panel.Selection(2));
    if (!refusal.empty()) {
        Notice(refusal);
        return;
    }
    AfterShapeChange();
}

void MainCommands::Search() {
    MeasurementRun& run = window_.Run();
    if (run.Mode() != ConsoleMode::Idle)
        return;
    if (search_.Start(
            [this](std::vector<EndPointEntry> found) { OnSearchDone(std::move(found)); })) {
        ConsoleData& data = window_.Data();
        if (data.endPointsKnown)
            window_.EndPoints()->ShowEmpty();
        data.BeginSearch();
        window_.EndPoints()->BeginSearch();
        run.SetMode(ConsoleMode::Searching);
    }
    window_.update();
}

void MainCommands::OnSearchDone(std::vector<EndPointEntry> found) {
    if (window_.Quitting())
        return;
    window_.Run().SetMode(ConsoleMode::Idle);
    ConsoleData& data = window_.Data();
    const std::string notice = data.ApplySearchResult(std::move(found));
    if (data.endPointsKnown)
        window_.EndPoints()->ShowEntries(data.endPoints);
    else
        window_.EndPoints()->ShowEmpty();
    window_.EndPoints()->EndSearch();
    window_.RedrawList();  // names may now replace addresses
    window_.update();
    Notice(notice);
}

void MainCommands::StopSearch() {
    search_.Stop();
}

void MainCommands::ToggleTotal() {
    ConsoleData& data = window_.Data();
    PairRecord& all = data.table.All();
    all.showTotal = all.showTotal ? 0 : 1;
    window_.TotalToggle()->update();
    window_.Strip()->update();
    data.chart.SetTotalVisible(all.showTotal != 0, ChartScaleSource::From(data.table));
}

void MainCommands::SwitchProtocol(int index) {
    MeasurementSettings& settings = window_.Data().settings;
    const int udp = index != 0 ? 1 : 0;
    if (udp == settings.udp)
        return;
    settings.ValueText() = window_.ValueEdit()->text().toStdString();
    settings.udp = udp;
    window_.ValueEdit()->setText(QString::fromStdString(settings.ValueText()));
    window_.RedrawList();
    window_.update();
}

bool MainCommands::eventFilter(QObject* watched, QEvent* event) {
    // Ctrl+C and Ctrl+V in the pair list; outside Idle mode they do nothing.
    if (watched == window_.PairList() && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier &&
            (key->key() == Qt::Key_C || key->key() == Qt::Key_V)) {
            if (window_.Run().Mode() == ConsoleMode::Idle) {
                if (key->key() == Qt::Key_C)
                    Copy();
                else
                    Paste();
            }
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void MainCommands::Copy() {
    ConsoleData& data = window_.Data();
    data.table.CopyRows(window_.Run().Mode(), SelectedRows(), clipboard_);
}

void MainCommands::Paste() {
    ConsoleData& data = window_.Data();
    if (data.PastePairs(window_.Run().Mode(), clipboard_) > 0)
        AfterShapeChange();
}

void MainCommands::ExchangeSelected() {
    window_.Data().table.ExchangeEndpoints(SelectedRows());
    window_.RedrawList();
}

void MainCommands::ShowSelectedAs(bool address) {
    window_.Data().table.SetShowAddress(SelectedRows(), address);
    window_.RedrawList();
}

void MainCommands::ActivateSelected(bool active) {
    const std::vector<int> rows = SelectedRows();
    window_.Data().table.SetActive(rows, active);
    window_.RedrawList();
    emit rowsChanged();
}

void MainCommands::ShowLog() {
    if (contextRow_ >= 0)
        emit showLogRequested(contextRow_ + 1);
}

void MainCommands::PrepareMenu(int contextRow) {
    contextRow_ = contextRow;
    const ConsoleData& data = window_.Data();
    const std::vector<int> rows = SelectedRows();
    PairMenuContext context;
    context.contextRow = contextRow;
    context.mode = window_.Run().Mode();
    context.selected = static_cast<int>(rows.size());
    context.clipboardEmpty = clipboard_.empty();
    if (rows.size() == 1) {
        const PairRecord& pair = data.table[rows.front()];
        context.singleActive = pair.active != 0;
        context.singleShowsAddress = pair.showAddress != 0;
    }
    menu_->Apply(ComputePairMenuEnabling(context));
}

void MainCommands::OpenItemMenu(int item, QPoint globalPos) {
    PrepareMenu(item);
    menu_->popup(globalPos);
}

bool MainCommands::OpenEmptyAreaMenu(QPoint globalPos) {
    if (window_.Run().Mode() != ConsoleMode::Idle)
        return false;
    if (SelectedRows().empty() && clipboard_.empty())
        return false;
    PrepareMenu(PairMenuContext::kEmptyArea);
    menu_->popup(globalPos);
    return true;
}

void MainCommands::AskQuit() {
    window_.ShowNotice(NoticeKind::Quit, "Are you sure to quit?");
}

}  // namespace quarn::console::ui
