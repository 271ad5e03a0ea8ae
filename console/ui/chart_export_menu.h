#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>

#include "console/core/console_data.h"
#include "console/core/console_view.h"

class QMenu;
class QWidget;

namespace quarn::console::ui {

// The chart's context menu: "Save chart as PNG..." (the chart as it is drawn, under a
// title line), "Export per-second CSV..." (the curves in the layout of the headless run's
// --csv) and "Export report..." (one HTML file with the settings, table and chart).
class ChartExportMenu : public QObject {
    Q_OBJECT

  public:
    static constexpr const char* kSavePng = "Save chart as PNG...";
    static constexpr const char* kExportCsv = "Export per-second CSV...";
    static constexpr const char* kExportReport = "Export report...";

    // Answers right-clicks on `chart`; `folder` is where the save dialogs start.
    ChartExportMenu(QWidget* chart, const ConsoleData& data, QString folder);

    // Adds the actions to a menu the chart builds itself.
    void AddActions(QMenu& menu);
    // Others' actions, added below these when the menu opens.
    void SetMoreActions(std::function<void(QMenu&)> more) { more_ = std::move(more); }
    // The Console's own settings, last in the menu.
    void SetSettingsActions(std::function<void(QMenu&)> settings) {
        settings_ = std::move(settings);
    }
    bool SavePng(const QString& path) const;
    bool ExportCsv(const QString& path) const;
    // `title` heads the sign-off page of a run judged against pass lines.
    bool ExportReport(const QString& path, const QString& title = {}) const;

    // Asks for a file name: title, proposed path, filter; empty when cancelled.
    using PathChooser = std::function<QString(const QString&, const QString&, const QString&)>;
    void SetPathChooser(PathChooser chooser) { chooser_ = std::move(chooser); }
    // Asks for the sign-off page's title, proposing the last one; nothing when cancelled.
    using TitleChooser = std::function<std::optional<QString>(const QString&)>;
    void SetTitleChooser(TitleChooser chooser) { titleChooser_ = std::move(chooser); }
    static constexpr const char* kTitleQuestion = "Title of the sign-off page:";
    // Where the outcome goes (the notice panel); nothing is shown without it.
    void SetNotice(std::function<void(NoticeKind, const QString&)> notice) {
        notice_ = std::move(notice);
    }

    void AskAndSavePng();
    void AskAndExportCsv();
    void AskAndExportReport();

  private:
    void ShowMenu(const QPoint& position);
    QString Ask(const QString& title, const QString& name, const QString& filter) const;
    // Asks with the measurement's time as the proposed name, ending in `extension`.
    QString AskWithDefaultName(const QString& title, const QString& extension,
                               const QString& filter) const;
    void Report(bool ok) const;
    std::optional<QString> AskTitle() const;

    QPointer<QWidget> chart_;
    const ConsoleData& data_;
    QString folder_;
    PathChooser chooser_;
    TitleChooser titleChooser_;
    QString title_;
    std::function<void(NoticeKind, const QString&)> notice_;
    std::function<void(QMenu&)> more_;
    std::function<void(QMenu&)> settings_;
};

}  // namespace quarn::console::ui
