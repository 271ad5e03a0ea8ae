#include "console/ui/reference_commands.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <memory>
#include <system_error>

#include "console/records/reference_loading.h"
#include "console/records/run_compare.h"
#include "console/ui/chart_widget.h"
#include "console/ui/console_signals.h"
#include "console/ui/file_panel.h"
#include "console/ui/main_window.h"
#include "console/ui/pair_list_model.h"
#include "console/ui/pair_list_widget.h"
#include "console/ui/pass_lines_dialog.h"
#include "console/ui/reference_tooltip.h"
#include "console/ui/window_files.h"
#include "widgets/text.h"

namespace quarn::console::ui {

ReferenceCommands::ReferenceCommands(MainWindow& window)
    : window_(window), model_(window.Session().Reference()) {
    connect(&window.Events(), &ConsoleSignals::referenceChanged, this, [this] {
        window_.Chart()->Refresh();
        window_.RedrawList();
    });
    window.Chart()->SetReference(&model_);
    window.PairList()->Model()->SetMoreTooltip(
        [this](const PairRecord& pair) { return TooltipLines(pair); });
    window.Files().ChartMenu()->SetMoreActions([this](QMenu& menu) { AddActions(menu); });
    connect(&window.Files(), &WindowFiles::newPerformed, this, &ReferenceCommands::Clear);
}

// The window's parts outlive this: they must not keep pointing at it.
ReferenceCommands::~ReferenceCommands() {
    window_.Chart()->SetReference(nullptr);
    window_.PairList()->Model()->SetMoreTooltip(nullptr);
    if (ChartExportMenu* menu = window_.Files().ChartMenu())
        menu->SetMoreActions(nullptr);
}

struct ReferenceCommands::Loaded {
    Outcome outcome = Outcome::Done();
    std::unique_ptr<ConsoleData> run;
    std::string name;
};

void ReferenceCommands::UseFile(const std::string& path) {
    Use(path, QFileInfo(widgets::FromUtf8(path)).fileName().toStdString());
}

void ReferenceCommands::UseRun(const std::string& id) {
    Use(id, {});
}

void ReferenceCommands::Clear() {
    loading_ = 0;  // a load still running is no longer wanted
    window_.Session().ClearReference();
    UpdateScale();
}

void ReferenceCommands::Use(const std::string& fileOrId, const std::string& label) {
    const std::uint64_t load = ++loads_;
    auto finish = liveness_.Guard(
        [this, load](const std::shared_ptr<Loaded>& loaded) { Finish(load, *loaded); });
    Dispatcher& windowThread = window_.Session().MainThread();
    try {
        loaders_[load] = std::jthread(
            [&windowThread, finish, fileOrId, label, historyDir = window_.Session().HistoryDir()] {
                auto loaded = std::make_shared<Loaded>();
                // Made here, so the data belong to this thread while it fills them.
                loaded->run = std::make_unique<ConsoleData>();
                loaded->outcome = records::LoadReference(fileOrId, historyDir, *loaded->run);
                // A history run is known by when it was measured.
                loaded->name = label;
                if (loaded->name.empty()) {
                    const std::string& when = loaded->run->measuredAt;
                    loaded->name = "the run of " + (when.empty() ? fileOrId : when);
                }
                windowThread.Post([finish, loaded]() mutable { finish(loaded); });
            });
    } catch (const std::system_error&) {
        loaders_.erase(load);
        window_.Events().ShowNotice(NoticeKind::Message, records::CannotOpenText(fileOrId));
        return;
    }
    loading_ = load;
}

void ReferenceCommands::Finish(std::uint64_t load, Loaded& loaded) {
    // Its thread has posted this as its last act.
    if (auto done = loaders_.find(load); done != loaders_.end()) {
        done->second.join();
        loaders_.erase(done);
    }
    if (load != loading_)
        return;  // a later choice or Clear replaced it
    loading_ = 0;
    if (!loaded.outcome) {
        window_.Events().ShowNotice(NoticeKind::Message, loaded.outcome.Why());
        return;
    }
    window_.Session().SetReference(std::move(loaded.run), std::move(loaded.name));
    UpdateScale();
}

void ReferenceCommands::UpdateScale() {
    const PairTable& table = window_.Data().table;
    const records::ThroughputPeaks peaks = model_.PeaksFor(table);
    window_.Data().chart.SetReferencePeaks(peaks.all, peaks.pairs, ChartScaleSource::From(table));
}

void ReferenceCommands::AddActions(QMenu& menu) {
    connect(menu.addAction(QString::fromLatin1(kCompareWithFile)), &QAction::triggered, this,
            &ReferenceCommands::AskAndUseFile);
    if (model_.Active()) {
        connect(menu.addAction(QString::fromLatin1(kClearReference)), &QAction::triggered, this,
                &ReferenceCommands::Clear);
    }
    connect(menu.addAction(QString::fromLatin1(kPassLines)), &QAction::triggered, this,
            &ReferenceCommands::AskPassLines);
}

void ReferenceCommands::AskPassLines() {
    PassLinesDialog dialog(window_.Data().settings.passLines, &window_);
    if (dialog.exec() == QDialog::Accepted)
        ApplyPassLines(dialog.Lines());
}

void ReferenceCommands::ApplyPassLines(const PassLines& lines) {
    ConsoleData& data = window_.Data();
    data.settings.passLines = lines;
    Rejudge();
}

void ReferenceCommands::Rejudge() {
    ConsoleData& data = window_.Data();
    if (data.ticks > 0 && window_.Session().Idle())
        window_.Session().Judge();
    window_.RedrawList();
}

void ReferenceCommands::AskAndUseFile() {
    QString path;
    if (chooser_) {
        path = chooser_();
    } else {
        path = QFileDialog::getOpenFileName(
            &window_, QStringLiteral("Compare with file"),
            widgets::FromUtf8(window_.Files().Session().ConfigFolder()),
            QStringLiteral("Configuration files (*.config)"));
    }
    if (!path.isEmpty())
        UseFile(path.toStdString());
}

std::vector<std::string> ReferenceCommands::TooltipLines(const PairRecord& pair) const {
    if (!model_.Active())
        return {};
    const std::optional<int> row = model_.RowFor(window_.Data().table, pair.id);
    return ReferenceFigureLines(pair, row ? &model_.Run()->table[*row] : nullptr, model_.Label());
}

}  // namespace quarn::console::ui
