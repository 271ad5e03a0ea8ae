#include "console/ui/chart_export_menu.h"

#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QPixmap>
#include <QWidget>

#include "console/files/file_session.h"
#include "console/files/series_csv.h"
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
}

void ChartExportMenu::ShowMenu(const QPoint& position) {
    if (!chart_) {
        return;
    }
    QMenu menu(chart_);
    AddActions(menu);
    menu.exec(chart_->mapToGlobal(position));
}

bool ChartExportMenu::SavePng(const QString& path) const {
    return chart_ && chart_->grab().save(path, "PNG");
}

bool ChartExportMenu::ExportCsv(const QString& path) const {
    return WriteSeriesCsv(path.toStdString(), data_.table, data_.chart);
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
void ChartExportMenu::AskAndSavePng() {
    QString name =
        widgets::FromUtf8(FileSession::DefaultFileName(std::chrono::system_clock::now()));
    name.replace(QStringLiteral(".config"), QStringLiteral(".png"));
    const QString path =
        Ask(QStringLiteral("Save chart as PNG"), name, QStringLiteral("PNG images (*.png)"));
    if (!path.isEmpty()) {
        Report(SavePng(path));
    }
}

void ChartExportMenu::AskAndExportCsv() {
    QString name =
        widgets::FromUtf8(FileSession::DefaultFileName(std::chrono::system_clock::now()));
    name.replace(QStringLiteral(".config"), QStringLiteral(".csv"));
    const QString path =
        Ask(QStringLiteral("Export per-second CSV"), name, QStringLiteral("CSV files (*.csv)"));
    if (!path.isEmpty()) {
        Report(ExportCsv(path));
    }
}

void ChartExportMenu::Report(bool ok) const {
    if (!notice_) {
        return;
    }
    if (ok) {
        notice_(NoticeKind::Info, QString::fromLatin1(FileSession::kSaveSucceeded));
    } else {
        notice_(NoticeKind::Message, QString::fromLatin1(FileSession::kSaveFailed));
    }
}

}  // namespace quarn::console::ui
