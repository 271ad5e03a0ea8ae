#include "console/ui/chart_export_menu.h"

#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QPixmap>
#include <QWidget>

#include "console/core/run_judgement.h"
#include "console/files/file_flow.h"
#include "console/files/series_csv.h"
#include "console/ui/chart_picture.h"
#include "console/ui/chart_widget.h"
#include "widgets/text.h"

namespace quarn::console::ui {

ChartExportMenu::ChartExportMenu(QWidget* chart, const ConsoleData& data, QString folder)
    : QObject(chart), chart_(chart), data_(data), folder_(std::move(folder)) {
    chart->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(chart, &QWidget::customContextMenuRequested, this, &ChartExportMenu::ShowMenu);
}

void ChartExportMenu::AddActions(QMenu& menu) {
    connect(menu.addAction(QString::fromLatin1(kSavePng)), &QAction::triggered, this,
            &ChartExportMenu::AskAndSavePng);
    connect(menu.addAction(QString::fromLatin1(kExportCsv)), &QAction::triggered, this,
            &ChartExportMenu::AskAndExportCsv);
    connect(menu.addAction(QString::fromLatin1(kExportReport)), &QAction::triggered, this,
            &ChartExportMenu::AskAndExportReport);
}

void ChartExportMenu::ShowMenu(const QPoint& position) {
    if (!chart_) {
        return;
    }
    QMenu menu(chart_);
    AddActions(menu);
    if (more_) {
        menu.addSeparator();
        more_(menu);
    }
    if (settings_) {
        menu.addSeparator();
        settings_(menu);
    }
    menu.exec(chart_->mapToGlobal(position));
}

bool ChartExportMenu::SavePng(const QString& path) const {
    return chart_ && ChartPicture(*chart_, data_).save(path, "PNG");
}

bool ChartExportMenu::ExportCsv(const QString& path) const {
    return WriteSeriesCsv(path.toStdString(), data_.table, data_.chart);
}

bool ChartExportMenu::ExportReport(const QString& path, const QString& title) const {
    if (!chart_)
        return false;
    // The chart's every measure; any other widget as it is drawn.
    auto* chart = qobject_cast<ChartWidget*>(chart_.data());
    const std::vector<records::ReportChart> charts =
        chart != nullptr ? ReportCharts(*chart, data_)
                         : std::vector<records::ReportChart>{
                               {"Throughput", PngBytes(ChartPicture(*chart_, data_)), {}}};
    return WriteRunReport(path.toStdString(), data_, charts, title.toStdString());
}

QString ChartExportMenu::Ask(const QString& title, const QString& name,
                             const QString& filter) const {
    const QString proposed = QDir(folder_).filePath(name);
    if (chooser_) {
        return chooser_(title, proposed, filter);
    }
    return QFileDialog::getSaveFileName(chart_ ? chart_->window() : nullptr, title, proposed,
                                        filter);
}

// The measurement's time names the files, like a saved configuration.
QString ChartExportMenu::AskWithDefaultName(const QString& title, const QString& extension,
                                            const QString& filter) const {
    QString name = widgets::FromUtf8(FileFlow::DefaultFileName(std::chrono::system_clock::now()));
    name.replace(QStringLiteral(".config"), extension);
    return Ask(title, name, filter);
}

void ChartExportMenu::AskAndSavePng() {
    const QString path =
        AskWithDefaultName(QStringLiteral("Save chart as PNG"), QStringLiteral(".png"),
                           QStringLiteral("PNG images (*.png)"));
    if (!path.isEmpty()) {
        Report(SavePng(path));
    }
}

void ChartExportMenu::AskAndExportCsv() {
    const QString path =
        AskWithDefaultName(QStringLiteral("Export per-second CSV"), QStringLiteral(".csv"),
                           QStringLiteral("CSV files (*.csv)"));
    if (!path.isEmpty()) {
        Report(ExportCsv(path));
    }
}

void ChartExportMenu::AskAndExportReport() {
    const QString path =
        AskWithDefaultName(QStringLiteral("Export report"), QStringLiteral(".html"),
                           QStringLiteral("HTML files (*.html)"));
    if (path.isEmpty())
        return;
    // Only a judged run's report opens with a sign-off page that needs a title.
    if (data_.judgement && AnyPassLine(data_)) {
        const std::optional<QString> title = AskTitle();
        if (!title)
            return;
        title_ = title->trimmed();
    }
    Report(ExportReport(path, title_));
}

std::optional<QString> ChartExportMenu::AskTitle() const {
    if (titleChooser_)
        return titleChooser_(title_);
    QInputDialog dialog(chart_ ? chart_->window() : nullptr);
    dialog.setWindowTitle(QStringLiteral("Export report"));
    dialog.setLabelText(QString::fromLatin1(kTitleQuestion));
    dialog.setTextValue(title_);
    // Room for a title such as a site and a contract, not just a word.
    dialog.resize(420, dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

void ChartExportMenu::Report(bool ok) const {
    if (!notice_) {
        return;
    }
    if (ok) {
        notice_(NoticeKind::Info, QString::fromLatin1(FileFlow::kSaveSucceeded));
    } else {
        notice_(NoticeKind::Message, QString::fromLatin1(FileFlow::kSaveFailed));
    }
}

}  // namespace quarn::console::ui
