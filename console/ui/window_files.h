#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <string_view>
#include <vector>

#include "console/files/file_flow.h"
#include "console/session/console_session.h"
#include "console/ui/chart_export_menu.h"
#include "console/ui/file_dialogs.h"
#include "console/ui/file_panel.h"
#include "console/ui/log_windows.h"

namespace quarn::console::ui {

class MainWindow;

// The main window's File panel, pair log windows, help window and chart menu, and what
// the file flow asks of the window. The main window holds it as its last member, so it
// goes before the data and the dispatcher; every call on the window thread.
class WindowFiles : public QObject, public FileFront {
    Q_OBJECT

  public:
    explicit WindowFiles(MainWindow& window);
    ~WindowFiles() override;

    FilePanel* Panel() const { return panel_; }
    // The chart's menu, where other parts of the window add their entries.
    ChartExportMenu* ChartMenu() const { return chartMenu_; }
    // The session's file flow, opened by this window.
    FileFlow& Session() { return files_; }
    // Replaces the file dialogs (tests); null goes back to the platform's.
    void SetDialogs(FileDialogs* dialogs) { dialogs_.SetReplacement(dialogs); }
    LogWindows& Logs() { return logs_; }
    // The main window's width changed: the panel stays at its right edge.
    void Layout(int width);
    // The intro showed every child: the panel is hidden again.
    void IntroEnded();

    // A processed tick counted the last lines of these pairs: their log windows refresh.
    void LogsCounted(const std::vector<PairId>& pairs);
    // The table changed (pairs added or deleted, edited, exchanged, activated or
    // inactivated): windows of pairs gone or inactive close, the others read their pair.
    void TableChanged() { logs_.TableChanged(); }

    // A run of the history was put into the data (as a stopped run): the window shows it
    // as it shows an opened file, and Save asks for a new name.
    void ShowRestoredRun();
    // A plan's step was put into the data: its settings and pairs are shown.
    void ShowPlanStep();

    // FileFront
    void CommitEditsToSettings() override;
    void PerformNew() override;

  signals:
    // New emptied the data.
    void newPerformed();

  private:
    // A save or open went to its worker, or has reported.
    void FileBusyChanged(bool busy);
    // A save or open has finished: the caption names the file, an opened one is shown.
    void FileFinished(bool opened);
    void ShowData();
    void ShowOpenedSettings();

    MainWindow& window_;
    FileDialogBoxes dialogs_;
    LogWindows logs_;
    FileFlow& files_;  // the session's; closed when this goes
    // Guarded: a window that deletes its children itself may have taken them already.
    QPointer<FilePanel> panel_;
    QPointer<ChartExportMenu> chartMenu_;
};

}  // namespace quarn::console::ui
