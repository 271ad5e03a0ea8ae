#include "console/ui/window_reference.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <memory>

#include "console/records/reference_run.h"
#include "console/records/run_compare.h"
#include "console/ui/chart_widget.h"
#include "console/ui/file_panel.h"
#include "console/ui/main_window.h"
#include "console/ui/pair_list_model.h"
#include "console/ui/pair_list_widget.h"
#include "console/ui/pass_lines_dialog.h"
#include "console/ui/reference_tooltip.h"
#include "console/ui/window_files.h"
#include "widgets/text.h"

namespace quarn::console::ui {

WindowReference::WindowReference(MainWindow& window, std::string historyDir)
    : window_(window), historyDir_(std::move(historyDir)) {
    model_.onChanged = [this] {
        window_.Chart()->Refresh();
        window_.RedrawList();
    };
    window.Chart()->SetReference(&model_);
    window.PairList()->Model()->SetMoreTooltip(
        [this](const PairRecord& pair) { return TooltipLines(pair); });
    window.Files().ChartMenu()->SetMoreActions([this](QMenu& menu) { AddActions(menu); });
    connect(&window.Files(), &WindowFiles::newPerformed, this, &WindowReference::Clear);
}

// The window's parts outlive this: they must not keep pointing at it.
WindowReference::~WindowReference() {
    window_.Chart()->SetReference(nullptr);
    window_.PairList()->Model()->SetMoreTooltip(nullptr);
    if (ChartExportMenu* menu = window_.Files().ChartMenu())
        menu->SetMoreActions(nullptr);
}

bool WindowReference::UseFile(const std::string& path) {
    return Use(path, QFileInfo(widgets::FromUtf8(path)).fileName().toStdString());
}

bool WindowReference::UseRun(const std::string& id) {
    return Use(id, {});
}

bool WindowReference::Use(const std::string& fileOrId, const std::string& label) {
    auto run = std::make_unique<ConsoleData>();
    const Outcome loaded = records::LoadReference(fileOrId, historyDir_, *run);
    if (!loaded) {
        window_.Events().ShowNotice(NoticeKind::Message, loaded.Why());
        return false;
    }
    // A history run is known by when it was measured.
    std::string name = label;
    if (name.empty())
        name = "the run of " + (run->measuredAt.empty() ? fileOrId : run->measuredAt);
    model_.Set(std::move(run), std::move(name));
    return true;
}

void WindowReference::AddActions(QMenu& menu) {
    connect(menu.addAction(QString::fromLatin1(kCompareWithFile)), &QAction::triggered, this,
            &WindowReference::AskAndUseFile);
    if (model_.Active()) {
        connect(menu.addAction(QString::fromLatin1(kClearReference)), &QAction::triggered, this,
                &WindowReference::Clear);
    }
    connect(menu.addAction(QString::fromLatin1(kPassLines)), &QAction::triggered, this,
            &WindowReference::AskPassLines);
}

void WindowReference::AskPassLines() {
    PassLinesDialog dialog(window_.Data().settings.passLines, &window_);
    if (dialog.exec() == QDialog::Accepted)
        ApplyPassLines(dialog.Lines());
}

void WindowReference::ApplyPassLines(const PassLines& lines) {
    ConsoleData& data = window_.Data();
    data.settings.passLines = lines;
    if (data.ticks > 0 && window_.Run().Mode() == ConsoleMode::Idle)
        data.judgement = JudgeRun(data, Baseline());
    window_.RedrawList();
}

BaselineAverages WindowReference::Baseline() const {
    if (!model_.Active() || model_.Run() == nullptr)
        return {};
    return records::BaselineOf(window_.Data().table, model_.Run()->table);
}

void WindowReference::AskAndUseFile() {
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

std::vector<std::string> WindowReference::TooltipLines(const PairRecord& pair) const {
    if (!model_.Active())
        return {};
    const std::optional<int> row = model_.RowFor(window_.Data().table, pair.id);
    return ReferenceFigureLines(pair, row ? &model_.Run()->table[*row] : nullptr, model_.Label());
}

}  // namespace quarn::console::ui
