#include "console/ui/window_plan.h"

#include <QFileDialog>
#include <chrono>

#include "console/core/local_time.h"
#include "console/files/atomic_file_writer.h"
#include "console/plans/test_plan.h"
#include "console/ui/chart_picture.h"
#include "console/ui/console_signals.h"
#include "console/ui/file_panel.h"
#include "console/ui/main_commands.h"
#include "console/ui/main_window.h"
#include "console/ui/window_files.h"
#include "widgets/text.h"

namespace quarn::console::ui {
namespace {

const QString kPlanFilter = QStringLiteral("Test plans (*.yaml *.yml)");
const QString kReportFilter = QStringLiteral("HTML report (*.html)");

}  // namespace

WindowPlan::WindowPlan(MainWindow& window) : window_(window), runner_(window.Session(), *this) {
    wait_.setSingleShot(true);
    connect(&wait_, &QTimer::timeout, this, [this] { runner_.RepetitionDue(); });
    connect(window.Files().Panel(), &FilePanel::runPlanChosen, this, [this] { AskAndRun(); });
    const ConsoleSignals* events = &window.Events();
    connect(events, &ConsoleSignals::noticeRequested, this,
            [this](NoticeKind kind, const QString&) { runner_.Noticed(kind); });
    connect(events, &ConsoleSignals::modeChanged, this, [this] { runner_.RunEnded(); });
    // The Start/Stop button ends a plan that runs, its wait included.
    window.Commands().SetStopOverride([this] {
        if (!runner_.Running())
            return false;
        runner_.Stop();
        return true;
    });
}

WindowPlan::~WindowPlan() {
    window_.Commands().SetStopOverride({});
}

bool WindowPlan::AskAndRun() {
    const QString title = QString::fromLatin1(kRunPlan);
    const QString path =
        openChooser_ ? openChooser_(title, QString(), kPlanFilter)
                     : QFileDialog::getOpenFileName(&window_, title, QString(), kPlanFilter);
    return !path.isEmpty() && RunFile(path);
}

bool WindowPlan::RunFile(const QString& path) {
    Result<plans::TestPlan> plan = plans::LoadPlan(path.toStdString());
    Outcome started = plan ? runner_.Start(std::move(plan).Value()) : Outcome::Failed(plan.Why());
    if (!started)
        window_.Events().ShowNotice(NoticeKind::Message, started.Why());
    return static_cast<bool>(started);
}

void WindowPlan::PlanSaid(std::string_view text) {
    window_.Events().ShowNotice(NoticeKind::Info, text);
}

void WindowPlan::StartWait(std::chrono::milliseconds wait) {
    wait_.start(wait);
}

void WindowPlan::CancelWait() {
    wait_.stop();
}

void WindowPlan::StepApplied() {
    window_.Files().ShowPlanStep();
}

std::vector<records::ReportChart> WindowPlan::StepCharts(const ConsoleData& data) {
    return window_.Chart() ? ReportCharts(*window_.Chart(), data)
                           : std::vector<records::ReportChart>();
}

void WindowPlan::PlanEnded() {
    // After the verdict's notice, once the run's own end has been shown.
    QTimer::singleShot(0, this, [this] { OfferReport(); });
}

void WindowPlan::OfferReport() {
    if (runner_.Steps().empty())
        return;
    const QString title = QString::fromLatin1(kSaveReport);
    const QString proposed = widgets::FromUtf8(runner_.PlanName()) + QStringLiteral(".html");
    const QString path =
        saveChooser_ ? saveChooser_(title, proposed, kReportFilter)
                     : QFileDialog::getSaveFileName(&window_, title, proposed, kReportFilter);
    if (path.isEmpty())
        return;
    const std::string html =
        runner_.Report(FormatMeasuredAt(std::chrono::system_clock::now()), runner_.PlanName());
    AtomicFileWriter file(path.toStdString());
    if (!file.Open() || !file.Write(html) || !file.Commit()) {
        window_.Events().ShowNotice(NoticeKind::Message,
                                    "Cannot write the report: " + path.toStdString());
        return;
    }
    window_.Events().ShowNotice(NoticeKind::Info, "Report " + path.toStdString());
}

}  // namespace quarn::console::ui
