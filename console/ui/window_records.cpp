#include "console/ui/window_records.h"

#include <cstdio>
#include <utility>

#include "console/files/opened_run_state.h"
#include "console/ui/console_signals.h"
#include "console/ui/file_panel.h"
#include "console/ui/main_window.h"
#include "console/ui/notice_panel.h"
#include "console/ui/recent_runs_list.h"
#include "console/ui/window_files.h"
#include "console/ui/window_reference.h"
#include "widgets/text.h"

namespace quarn::console::ui {

WindowRecords::WindowRecords(MainWindow& window, std::string historyDir,
                             std::uintmax_t historyLimit)
    : window_(window),
      historyDir_(historyDir),
      recording_(std::move(historyDir), historyLimit),
      recent_(new RecentRunsList(&window)),
      reference_(std::make_unique<WindowReference>(window, historyDir_)) {
    recent_->setObjectName(QStringLiteral("recentRuns"));
    const ConsoleSignals* events = &window.Events();
    connect(events, &ConsoleSignals::runStarted, this, &WindowRecords::RunStarted);
    connect(events, &ConsoleSignals::tickProcessed, this,
            [this] { recording_.Second(window_.Data()); });
    connect(events, &ConsoleSignals::modeChanged, this, &WindowRecords::ModeChanged);
    connect(window.Notice(), &NoticePanel::questionAnswered, this,
            &WindowRecords::RecoveryAnswered);
    FilePanel* panel = window.Files().Panel();
    panel->SetCompanion(recent_);
    connect(panel, &FilePanel::visibilityChanged, this, &WindowRecords::PanelShown);
    connect(recent_, &RecentRunsList::runChosen, this, [this, panel](const std::string& id) {
        panel->hide();
        OpenRun(id);
    });
    connect(recent_, &RecentRunsList::referenceChosen, this, [this, panel](const std::string& id) {
        panel->hide();
        reference_->UseRun(id);
    });
}

// A window closed mid-run leaves its journal closed as quit, not as a crash.
WindowRecords::~WindowRecords() {
    if (recordingRun_)
        recording_.End(window_.Data(), true);
}

bool WindowRecords::ServeMetrics(const std::string& address) {
    const Result<records::ListenAddress> where = records::ParseListenAddress(address);
    return where && recording_.ServeMetrics(*where, window_.Data());
}

void WindowRecords::RunStarted() {
    recordingRun_ = true;
    window_.Data().judgement.reset();
    if (const Outcome journal = recording_.Begin(window_.Data()); !journal)
        std::fprintf(stderr, "%s\n", journal.Why().c_str());
}

void WindowRecords::ModeChanged() {
    if (!recordingRun_ || window_.Run().Mode() == ConsoleMode::Measuring)
        return;
    recordingRun_ = false;
    // Judged before the summaries, which carry the verdicts; the list shows them next.
    if (!window_.Quitting())
        ShowJudgement(JudgeRun(window_.Data(), reference_->Baseline()));
    if (const std::string note = recording_.End(window_.Data(), window_.Quitting()); !note.empty())
        std::fprintf(stderr, "%s\n", note.c_str());
}

// The verdicts go into each pair's log and, when lines were set, under the run's notice.
void WindowRecords::ShowJudgement(RunJudgement judgement) {
    ConsoleData& data = window_.Data();
    const bool withLines = AnyPassLine(data);
    for (const PairId pair : LogJudgement(judgement, withLines, data.logs))
        window_.Events().LogChanged(pair);
    if (withLines && window_.Notice()->isVisible())
        window_.Notice()->SetVerdictLine(widgets::FromUtf8(RunVerdictLine(judgement)));
    data.judgement = std::move(judgement);
}

std::string WindowRecords::RecoveryQuestion(const std::string& startedLocal) {
    return "Recover the measurement of\n" + startedLocal + " that did not finish?";
}

bool WindowRecords::OfferRecovery() {
    const std::optional<records::RunInfo> run = records::LatestUnfinished(historyDir_);
    if (!run)
        return false;
    offeredId_ = run->id;
    window_.Notice()->AskQuestion(widgets::FromUtf8(RecoveryQuestion(records::RunStartText(*run))));
    return true;
}

// No leaves the journal in the history, where Recent runs and --recover still find it.
void WindowRecords::RecoveryAnswered(bool yes) {
    const std::optional<std::string> id = std::exchange(offeredId_, std::nullopt);
    if (yes && id)
        OpenRun(*id);
}

bool WindowRecords::OpenRun(const std::string& id) {
    if (window_.Run().Mode() != ConsoleMode::Idle)
        return false;
    ConsoleData& data = window_.Data();
    const Outcome recovered = records::RecoverRun(historyDir_, id, data);
    if (!recovered) {
        window_.Events().ShowNotice(NoticeKind::Message, recovered.Why());
        return false;
    }
    ApplyOpenedRunState(data);
    window_.Files().ShowRestoredRun();
    return true;
}

void WindowRecords::PanelShown(bool shown) {
    if (!shown) {
        recent_->hide();
        return;
    }
    recent_->ShowRuns(records::ListRuns(historyDir_));
    recent_->PlaceLeftOf(window_.Files().Panel()->geometry());
    recent_->show();
    recent_->raise();
}

}  // namespace quarn::console::ui
