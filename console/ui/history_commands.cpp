#include "console/ui/history_commands.h"

#include <utility>

#include "console/core/run_judgement.h"
#include "console/records/run_history.h"
#include "console/ui/console_signals.h"
#include "console/ui/file_panel.h"
#include "console/ui/main_window.h"
#include "console/ui/notice_panel.h"
#include "console/ui/recent_runs_list.h"
#include "console/ui/reference_commands.h"
#include "console/ui/window_files.h"
#include "widgets/text.h"

namespace quarn::console::ui {

HistoryCommands::HistoryCommands(MainWindow& window)
    : window_(window),
      recent_(new RecentRunsList(&window)),
      reference_(std::make_unique<ReferenceCommands>(window)) {
    recent_->setObjectName(QStringLiteral("recentRuns"));
    connect(&window.Events(), &ConsoleSignals::runJudged, this, &HistoryCommands::ShowVerdictLine);
    connect(window.Notice(), &NoticePanel::questionAnswered, this,
            &HistoryCommands::RecoveryAnswered);
    FilePanel* panel = window.Files().Panel();
    panel->SetCompanion(recent_);
    connect(panel, &FilePanel::visibilityChanged, this, &HistoryCommands::PanelShown);
    connect(recent_, &RecentRunsList::runChosen, this, [this, panel](const std::string& id) {
        panel->hide();
        OpenRun(id);
    });
    connect(recent_, &RecentRunsList::referenceChosen, this, [this, panel](const std::string& id) {
        panel->hide();
        reference_->UseRun(id);
    });
}

HistoryCommands::~HistoryCommands() = default;

// With lines set, the run's verdict goes under its notice (the logs have it already).
void HistoryCommands::ShowVerdictLine() {
    const ConsoleData& data = window_.Data();
    if (data.judgement && AnyPassLine(data) && window_.Notice()->isVisible())
        window_.Notice()->SetVerdictLine(widgets::FromUtf8(RunVerdictLine(*data.judgement)));
}

std::string HistoryCommands::RecoveryQuestion(const std::string& startedLocal) {
    return "Recover the measurement of\n" + startedLocal + " that did not finish?";
}

bool HistoryCommands::OfferRecovery() {
    const std::optional<records::RunInfo> run =
        records::LatestUnfinished(window_.Session().HistoryDir());
    if (!run)
        return false;
    offeredId_ = run->id;
    window_.Notice()->AskQuestion(widgets::FromUtf8(RecoveryQuestion(records::RunStartText(*run))));
    return true;
}

// No leaves the journal in the history, where Recent runs and --recover still find it.
void HistoryCommands::RecoveryAnswered(bool yes) {
    const std::optional<std::string> id = std::exchange(offeredId_, std::nullopt);
    if (yes && id)
        OpenRun(*id);
}

bool HistoryCommands::OpenRun(const std::string& id) {
    const Outcome recovered = window_.Session().RecoverRun(id);
    if (!recovered) {
        window_.Events().ShowNotice(NoticeKind::Message, recovered.Why());
        return false;
    }
    window_.Files().ShowRestoredRun();
    return true;
}

void HistoryCommands::PanelShown(bool shown) {
    if (!shown) {
        recent_->hide();
        return;
    }
    recent_->ShowRuns(records::ListRuns(window_.Session().HistoryDir()));
    recent_->PlaceLeftOf(window_.Files().Panel()->geometry());
    recent_->show();
    recent_->raise();
}

}  // namespace quarn::console::ui
