#include "console/ui/main_commands.h"

#include <QKeyEvent>

#include "console/ui/notice_panel.h"
#include "console/ui/pair_menu.h"
#include "console/ui/pair_setting_dialog.h"
#include "widgets/text.h"

namespace quarn::console::ui {

MainCommands::MainCommands(ConsoleSession& session, CommandInputs& inputs)
    : session_(session), inputs_(inputs), menu_(new PairMenu(inputs.DialogParent())) {
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

MainCommands::~MainCommands() = default;

void MainCommands::Notice(const std::string& text) {
    if (!text.empty())
        session_.View().ShowNotice(NoticeKind::Message, text);
}

std::vector<PairId> MainCommands::SelectedPairs() const {
    return session_.Data().table.IdsAt(inputs_.SelectedRows());
}

void MainCommands::StoreSettingTexts() {
    MeasurementSettings& settings = session_.Data().settings;
    settings.durationText = inputs_.DurationText();
    settings.ValueText() = inputs_.ValueText();
}

void MainCommands::StartOrStop() {
    if (Idle())
        StoreSettingTexts();
    session_.Run().StartOrStop();
}

void MainCommands::AfterShapeChange() {
    emit shapeChanged();
    RedrawList();
    emit rowsChanged();
}

void MainCommands::AddManually() {
    ConsoleData& data = session_.Data();
    if (!Idle())
        return;
    if (const Outcome room = data.table.CheckRoomForPair(); !room) {
        Notice(room.Why());
        return;
    }
    PairSettingDialog dialog(true, PairConfig(), data.settings.protocol == Protocol::Udp,
                             inputs_.DialogParent());
    if (dialog.exec() == QDialog::Accepted) {
        PairConfig config = dialog.NewConfig();
        if (KeepLabels(dialog))
            config.showAddress = false;
        data.AddPair(std::move(config));
        AfterShapeChange();
    }
}

// Host names typed in the dialog become the labels of their addresses (unless an End
// Point already told its own name). Returns whether any name was typed.
bool MainCommands::KeepLabels(const PairSettingDialog& dialog) {
    auto& lookup = session_.Data().nameLookup;
    bool named = false;
    for (const auto& [address, label] : {std::pair(dialog.Endpoint1(), dialog.Label1()),
                                         std::pair(dialog.Endpoint2(), dialog.Label2())}) {
        if (label.empty())
            continue;
        named = true;
        auto& known = lookup[address];
        if (known.empty())
            known = label;
    }
    return named;
}

void MainCommands::EditPair(int item) {
    ConsoleData& data = session_.Data();
    const int row = item + 1;
    if (!data.table.IsPairRow(row) || !Idle())
        return;
    const PairId pair = data.table.IdAt(row);
    PairSettingDialog dialog(false, data.table[row].config, data.settings.protocol == Protocol::Udp,
                             inputs_.DialogParent());
    // The table keeps its shape while the dialog is open: nothing else runs in Idle mode.
    if (dialog.exec() == QDialog::Accepted) {
        data.EditPair(pair, dialog.Endpoint1(), dialog.Endpoint2(), dialog.Parallel());
        PairConfig& config = data.table.Find(pair)->config;
        if (KeepLabels(dialog))
            config.showAddress = false;
        if (config.passLines != dialog.Lines()) {
            config.passLines = dialog.Lines();
            emit passLinesChanged();
        }
        RedrawList();
        emit rowsChanged();  // an open log window shows the new route at once
    }
}

void MainCommands::DeleteSelected() {
    if (!Idle())
        return;
    if (const Outcome deleted = session_.Data().DeletePairs(session_.Mode(), SelectedPairs());
        !deleted) {
        Notice(deleted.Why());
        return;
    }
    emit pairsDeleted();
    AfterShapeChange();
}

void MainCommands::AddFromLists() {
    if (!Idle())
        return;
    const auto selection =
        std::make_pair(inputs_.EndPointSelection(1), inputs_.EndPointSelection(2));
    const std::string unverified =
        session_.Data().UnverifiedAmong(selection.first, selection.second);
    if (!unverified.empty() && warned_ != selection) {
        warned_ = selection;
        Notice(ConsoleData::UnverifiedNotice(unverified));
        return;
    }
    warned_.reset();
    const Result<PairId> added =
        session_.Data().AddPairFromLists(selection.first, selection.second);
    if (!added) {
        Notice(added.Why());
        return;
    }
    AfterShapeChange();
}

void MainCommands::Search() {
    const bool listsShown = session_.Data().endPointsKnown;
    if (session_.StartSearch([this](const Outcome& found) { OnSearchDone(found); }))
        emit searchStarted(listsShown);
}

void MainCommands::OnSearchDone(const Outcome& found) {
    emit searchEnded();
    RedrawList();  // names may now replace addresses
    Notice(found.Why());
}

void MainCommands::ToggleTotal() {
    ConsoleData& data = session_.Data();
    PairRecord& all = data.table.All();
    all.config.showTotal = !all.config.showTotal;
    emit totalToggled();
    data.chart.SetTotalVisible(all.config.showTotal, ChartScaleSource::From(data.table));
}

void MainCommands::SwitchProtocol(int index) {
    MeasurementSettings& settings = session_.Data().settings;
    const Protocol protocol = index != 0 ? Protocol::Udp : Protocol::Tcp;
    if (protocol == settings.protocol)
        return;
    settings.ValueText() = inputs_.ValueText();
    settings.protocol = protocol;
    emit protocolSwitched(widgets::FromUtf8(settings.ValueText()));
    RedrawList();
}

bool MainCommands::eventFilter(QObject* watched, QEvent* event) {
    // Outside Idle mode the shortcuts do nothing.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier &&
            (key->key() == Qt::Key_C || key->key() == Qt::Key_V)) {
            if (Idle()) {
                if (key->key() == Qt::Key_C)
                    Copy();
                else
                    Paste();
            }
            return true;
        }
        // The Delete key does what the Delete pair button does.
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
            DeleteSelected();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void MainCommands::Copy() {
    session_.Data().table.CopyPairs(session_.Mode(), SelectedPairs(), clipboard_);
}

void MainCommands::Paste() {
    if (session_.Data().PastePairs(session_.Mode(), clipboard_) > 0)
        AfterShapeChange();
}

void MainCommands::ExchangeSelected() {
    session_.Data().table.ExchangeEndpoints(SelectedPairs());
    RedrawList();
    emit rowsChanged();  // open log windows show the exchanged route at once
}

void MainCommands::ShowSelectedAs(bool address) {
    session_.Data().table.SetShowAddress(SelectedPairs(), address);
    RedrawList();
}

void MainCommands::ActivateSelected(bool active) {
    session_.Data().table.SetActive(SelectedPairs(), active);
    RedrawList();
    emit rowsChanged();
}

void MainCommands::ShowLog() {
    if (contextRow_ >= 0)
        emit showLogRequested(session_.Data().table.IdAt(contextRow_ + 1));
}

void MainCommands::PrepareMenu(int contextRow) {
    contextRow_ = contextRow;
    const ConsoleData& data = session_.Data();
    const std::vector<int> rows = inputs_.SelectedRows();
    PairMenuContext context;
    context.contextRow = contextRow;
    context.mode = session_.Mode();
    context.selected = static_cast<int>(rows.size());
    context.clipboardEmpty = clipboard_.empty();
    if (rows.size() == 1) {
        const PairRecord& pair = data.table[rows.front()];
        context.singleActive = pair.config.active;
        context.singleShowsAddress = pair.config.showAddress;
    }
    menu_->Apply(ComputePairMenuEnabling(context));
}

void MainCommands::OpenItemMenu(int item, QPoint globalPos) {
    PrepareMenu(item);
    menu_->popup(globalPos);
}

bool MainCommands::OpenEmptyAreaMenu(QPoint globalPos) {
    if (!Idle())
        return false;
    if (inputs_.SelectedRows().empty() && clipboard_.empty())
        return false;
    PrepareMenu(PairMenuContext::kEmptyArea);
    menu_->popup(globalPos);
    return true;
}

void MainCommands::AskQuit() {
    session_.View().ShowNotice(NoticeKind::Quit, NoticePanel::kQuitText);
}

}  // namespace quarn::console::ui
