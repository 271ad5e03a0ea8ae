#include "console/ui/main_commands.h"

#include <QKeyEvent>
#include <algorithm>

#include "console/core/pair_builders.h"
#include "console/core/pair_capabilities.h"
#include "console/net/link_facts_query.h"
#include "console/ui/notice_panel.h"
#include "console/ui/pair_menu.h"
#include "console/ui/pair_setting_dialog.h"
#include "protocol/messages.h"
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
    connect(menu_->bothWays, &QAction::triggered, this, [this] { AddBothWays(); });
    connect(menu_->mesh, &QAction::triggered, this, [this] { AddBuilt(ListBuilder::Mesh); });
    connect(menu_->fanIn, &QAction::triggered, this, [this] { AddBuilt(ListBuilder::FanIn); });
    connect(menu_->fanOut, &QAction::triggered, this, [this] { AddBuilt(ListBuilder::FanOut); });
    connect(menu_->remove, &QAction::triggered, this, [this] { DeleteSelected(); });
}

MainCommands::~MainCommands() = default;

void MainCommands::Notice(const std::string& text) {
    if (!text.empty())
        session_.View().ShowNotice(NoticeKind::Message, text);
}

void MainCommands::StartOrStop() {
    if (stopOverride_ && stopOverride_())
        return;
    if (session_.Idle()) {
        session_.Data().StoreSettingTexts(inputs_.DurationText(), inputs_.ValueText());
        LearnOptionsTaken();
    }
    session_.StartOrStop();
}

// A typed pair's EndPoints are asked what they take before options go to them; an older
// EndPoint never answers, so the wait is short.
void MainCommands::LearnOptionsTaken() {
    ConsoleData& data = session_.Data();
    const std::vector<std::string> unknown = EndsToAskBeforeTheRun(data);
    if (!unknown.empty())
        data.links.merge(AskLinkFacts(unknown, protocol::kDiscoveryPort, kFactsWait));
}

void MainCommands::AfterShapeChange() {
    emit shapeChanged();
    RedrawList();
    session_.View().TableChanged();
}

void MainCommands::AddManually() {
    ConsoleData& data = session_.Data();
    if (!session_.Idle())
        return;
    if (const Outcome room = data.table.CheckRoomForPair(); !room) {
        Notice(room.Why());
        return;
    }
    PairSettingDialog dialog(true, PairConfig(), data.settings.protocol == Protocol::Udp,
                             inputs_.DialogParent());
    if (dialog.exec() == QDialog::Accepted) {
        PairConfig config = dialog.NewConfig();
        data.KeepLabels(config, dialog.Label1(), dialog.Label2());
        data.AddPair(std::move(config));
        AfterShapeChange();
    }
}

void MainCommands::EditPair(PairId pair) {
    ConsoleData& data = session_.Data();
    const PairRecord* record = data.table.Find(pair);
    if (record == nullptr || !session_.Idle())
        return;
    PairSettingDialog dialog(false, record->config, data.settings.protocol == Protocol::Udp,
                             inputs_.DialogParent());
    // The table keeps its shape while the dialog is open: nothing else runs in Idle mode.
    if (dialog.exec() == QDialog::Accepted) {
        data.EditPair(pair, dialog.Endpoint1(), dialog.Endpoint2(), dialog.Parallel());
        PairConfig& config = data.table.Find(pair)->config;
        config.traffic = dialog.Traffic();
        data.KeepLabels(config, dialog.Label1(), dialog.Label2());
        if (config.passLines != dialog.Lines()) {
            config.passLines = dialog.Lines();
            emit passLinesChanged();
        }
        RedrawList();
        session_.View().TableChanged();  // an open log window shows the new route at once
    }
}

void MainCommands::DeleteSelected() {
    if (!session_.Idle())
        return;
    if (const Outcome deleted =
            session_.Data().DeletePairs(session_.Mode(), inputs_.SelectedPairs());
        !deleted) {
        Notice(deleted.Why());
        return;
    }
    emit pairsDeleted();
    AfterShapeChange();
}

void MainCommands::AddFromLists() {
    if (!session_.Idle())
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
    if (session_.StartSearch())
        emit searchStarted(listsShown);
}

void MainCommands::ToggleTotal() {
    session_.Data().ToggleTotal();
    emit totalToggled();
}

void MainCommands::SwitchProtocol(int index) {
    ConsoleData& data = session_.Data();
    if (!data.SwitchProtocol(index != 0 ? Protocol::Udp : Protocol::Tcp, inputs_.ValueText()))
        return;
    emit protocolSwitched(widgets::FromUtf8(data.settings.ValueText()));
    RedrawList();
}

bool MainCommands::eventFilter(QObject* watched, QEvent* event) {
    // Outside Idle mode the shortcuts do nothing.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier &&
            (key->key() == Qt::Key_C || key->key() == Qt::Key_V)) {
            if (session_.Idle()) {
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
    session_.Data().table.CopyPairs(session_.Mode(), inputs_.SelectedPairs(), clipboard_);
}

void MainCommands::Paste() {
    if (session_.Data().PastePairs(session_.Mode(), clipboard_) > 0)
        AfterShapeChange();
}

void MainCommands::AddBothWays() {
    ConsoleData& data = session_.Data();
    if (!session_.Idle())
        return;
    const auto present = [](const std::vector<PairConfig>& pairs, const PairConfig& pair) {
        return std::any_of(pairs.begin(), pairs.end(), [&](const PairConfig& other) {
            return other.endpoint1 == pair.endpoint1 && other.endpoint2 == pair.endpoint2;
        });
    };
    std::vector<PairConfig> existing;
    for (const PairRecord& pair : data.table.Pairs())
        existing.push_back(pair.config);
    std::vector<PairConfig> reverses;
    for (const PairId pair : inputs_.SelectedPairs()) {
        const PairRecord* selected = data.table.Find(pair);
        if (selected == nullptr)
            continue;
        PairConfig reverse = selected->config;
        std::swap(reverse.endpoint1, reverse.endpoint2);
        if (!present(existing, reverse) && !present(reverses, reverse))
            reverses.push_back(std::move(reverse));
    }
    if (const Outcome room = CheckBuilderRoom("Both ways", data.table.PairCount(),
                                              static_cast<int>(reverses.size()));
        !room) {
        Notice(room.Why());
        return;
    }
    for (PairConfig& reverse : reverses)
        data.AddPair(std::move(reverse));
    if (!reverses.empty())
        AfterShapeChange();
}

void MainCommands::AddBuilt(ListBuilder builder) {
    ConsoleData& data = session_.Data();
    if (!session_.Idle())
        return;
    if (!data.endPointsKnown) {
        Notice(PairTable::kNoEndPointFound);
        return;
    }
    const Result<std::vector<BuiltPair>> built =
        BuildFromLists(builder, inputs_.EndPointSelections(1), inputs_.EndPointSelections(2));
    if (!built) {
        Notice(built.Why());
        return;
    }
    std::vector<BuiltPair> fresh;
    for (const BuiltPair& ends : *built) {
        bool present = false;
        for (const PairRecord& pair : data.table.Pairs()) {
            present = present ||
                      (pair.config.endpoint1 == ends.first && pair.config.endpoint2 == ends.second);
        }
        if (!present)
            fresh.push_back(ends);
    }
    if (const Outcome room = CheckBuilderRoom(ListBuilderName(builder), data.table.PairCount(),
                                              static_cast<int>(fresh.size()));
        !room) {
        Notice(room.Why());
        return;
    }
    for (const auto& [from, to] : fresh) {
        PairConfig config;
        config.endpoint1 = from;
        config.endpoint2 = to;
        data.AddPair(std::move(config));
    }
    if (!fresh.empty())
        AfterShapeChange();
}

void MainCommands::ExchangeSelected() {
    session_.Data().table.ExchangeEndpoints(inputs_.SelectedPairs());
    RedrawList();
    session_.View().TableChanged();  // open log windows show the exchanged route at once
}

void MainCommands::ShowSelectedAs(bool address) {
    session_.Data().table.SetShowAddress(inputs_.SelectedPairs(), address);
    RedrawList();
}

void MainCommands::ActivateSelected(bool active) {
    session_.Data().table.SetActive(inputs_.SelectedPairs(), active);
    RedrawList();
    session_.View().TableChanged();
}

void MainCommands::ShowLog() {
    if (session_.Data().table.Contains(contextPair_))
        emit showLogRequested(contextPair_);
}

void MainCommands::PrepareMenu(PairId contextPair, bool emptyArea) {
    contextPair_ = contextPair;
    const std::vector<PairId> selected = inputs_.SelectedPairs();
    PairMenuContext context;
    context.emptyArea = emptyArea;
    context.mode = session_.Mode();
    context.selected = static_cast<int>(selected.size());
    context.clipboardEmpty = clipboard_.empty();
    context.endPointsKnown = session_.Data().endPointsKnown;
    if (const PairRecord* single =
            selected.size() == 1 ? session_.Data().table.Find(selected.front()) : nullptr) {
        context.singleActive = single->config.active;
        context.singleShowsAddress = single->config.showAddress;
    }
    menu_->Apply(ComputePairMenuEnabling(context));
}

void MainCommands::OpenItemMenu(PairId pair, QPoint globalPos) {
    PrepareMenu(pair, false);
    menu_->popup(globalPos);
}

bool MainCommands::OpenEmptyAreaMenu(QPoint globalPos) {
    if (!session_.Idle())
        return false;
    // With EndPoints listed the builders are there even for an empty table.
    if (inputs_.SelectedPairs().empty() && clipboard_.empty() && !session_.Data().endPointsKnown)
        return false;
    PrepareMenu(PairId(), true);
    menu_->popup(globalPos);
    return true;
}

void MainCommands::AskQuit() {
    session_.View().ShowNotice(NoticeKind::Quit, NoticePanel::kQuitText);
}

}  // namespace quarn::console::ui
