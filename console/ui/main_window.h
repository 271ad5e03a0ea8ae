#pragma once

#include <QLineEdit>
#include <QPoint>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/session/console_session.h"
#include "console/ui/console_signals.h"
#include "console/ui/main_commands.h"

namespace quarn::widgets {
class SkinButton;
class SkinCombo;
}  // namespace quarn::widgets

namespace quarn::console::ui {

class AllStrip;
class CaptionBar;
class ChartWidget;
class EndPointPanel;
class ModeInputFilter;
class NoticePanel;
class PairListWidget;
class WindowFiles;
class WindowPlan;
class WindowLabKey;
class HistoryCommands;

struct MainWindowOptions {
    std::chrono::milliseconds introTime{2000};
    std::chrono::milliseconds addressRefresh{10000};
    // A configuration file to open once the intro has ended ("" for none).
    std::string openFile;
    // After the intro (and without openFile), offer to recover a run that did not finish.
    bool offerRecovery = false;
    // The key file --lab-key gave ("" for none), and where the Lab key setting is kept
    // ("" for the user's settings folder).
    std::string labKeyPath;
    std::string settingsDir;
};

// The Console's main window: a 2-second intro, then the main look with the pair list,
// the All strip, the settings, the EndPoint panel and the chart. It draws its own caption
// and frame. It shows a ConsoleSession, driven exactly as the headless runner drives it:
// the core's events come as signals of one ConsoleSignals that the widgets connect to, and
// MainCommands holds what the controls do.
class MainWindow : public QWidget, private CommandInputs {
    Q_OBJECT
  public:
    static constexpr QSize kIntroSize{527, 347};
    static constexpr QSize kMainSize{1115, 631};

    using Options = MainWindowOptions;

    // The session must outlive the window; the window shuts it down when it goes.
    explicit MainWindow(ConsoleSession& session, Options options = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The list as the data now hold it (what the core's list redraw does).
    void RedrawList() { events_.RedrawList(); }

    bool InIntro() const { return intro_; }
    // Ends the intro now (the timer does it after two seconds).
    void EndIntro();
    // Quits as the confirmed quit question does: no run completion, workers and search
    // ended, own iperf clients ended, "restart" broadcast, window closed.
    void Quit();
    bool Quitting() const { return quitting_; }
    // Reads the own address again and repaints the caption when it changed.
    void RefreshOwnAddress();
    // Lays the controls out for the current number of pairs and the window size.
    void UpdateLayout();
    // The pair list's height for a number of pairs.
    static int PairListHeight(int pairs);

    ConsoleSession& Session() { return session_; }
    ConsoleData& Data() { return session_.Data(); }
    MeasurementRun& Run() { return session_.Run(); }
    // The core's events as signals, and the notices and redraws of the window's own parts.
    ConsoleSignals& Events() { return events_; }
    MainCommands& Commands() { return *commands_; }
    // The File panel, the pair log windows, the help window and the chart's menu.
    WindowFiles& Files() { return *files_; }
    HistoryCommands& Records() { return *records_; }
    WindowLabKey& LabKey() { return *labKey_; }
    // "Run plan..." and the plan it runs.
    WindowPlan& Plan() { return *plan_; }

    CaptionBar* Caption() const { return caption_; }
    EndPointPanel* EndPoints() const { return endPointPanel_; }
    PairListWidget* PairList() const { return pairList_; }
    ChartWidget* Chart() const { return chart_; }
    NoticePanel* Notice() const { return notice_; }
    widgets::SkinCombo* Protocol() const { return protocol_; }
    QLineEdit* ValueEdit() const { return valueEdit_; }
    QLineEdit* DurationEdit() const { return durationEdit_; }
    widgets::SkinButton* AddManually() const { return addManually_; }
    widgets::SkinButton* FileMenuButton() const { return fileMenu_; }
    widgets::SkinButton* TotalToggle() const { return totalToggle_; }
    // The pair list area, (7, 61) to (w - 376, 270).
    QRect PairListArea() const;

  signals:
    void fileMenuClicked();
    void helpRequested();
    // Quit has ended everything; the program may end.
    void quitted();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateControls();
    void CreateButtons();
    void NameControls();
    QLineEdit* CreateEdit(const std::string& text);
    void ConnectControls();
    void ConnectCommands();
    void ConnectEvents();
    void RegisterInputRoles();
    void ShowRunStarted();
    void ShowMode();

    // CommandInputs
    std::vector<PairId> SelectedPairs() const override;
    std::string DurationText() const override;
    std::string ValueText() const override;
    std::optional<std::string> EndPointSelection(int list) const override;
    std::vector<std::string> EndPointSelections(int list) const override;
    QWidget* DialogParent() override { return this; }

    ConsoleSession& session_;
    Options options_;
    ConsoleSignals events_;

    bool intro_ = true;
    bool quitting_ = false;
    QTimer introTimer_;
    QTimer addressTimer_;
    // Resizing by hand where the window system cannot do it.
    Qt::Edges resizing_;
    QPoint resizeStart_;
    QRect resizeGeometry_;

    CaptionBar* caption_ = nullptr;
    AllStrip* allStrip_ = nullptr;
    EndPointPanel* endPointPanel_ = nullptr;
    PairListWidget* pairList_ = nullptr;
    ChartWidget* chart_ = nullptr;
    NoticePanel* notice_ = nullptr;
    widgets::SkinCombo* protocol_ = nullptr;
    QLineEdit* valueEdit_ = nullptr;
    QLineEdit* durationEdit_ = nullptr;
    widgets::SkinButton* startStop_ = nullptr;
    widgets::SkinButton* addManually_ = nullptr;
    widgets::SkinButton* deletePair_ = nullptr;
    widgets::SkinButton* addEndPoint_ = nullptr;
    widgets::SkinButton* searchEndPoint_ = nullptr;
    widgets::SkinButton* fileMenu_ = nullptr;
    widgets::SkinButton* totalToggle_ = nullptr;
    ModeInputFilter* inputFilter_ = nullptr;
    std::unique_ptr<MainCommands> commands_;
    std::unique_ptr<WindowFiles> files_;
    std::unique_ptr<HistoryCommands> records_;  // uses files_: goes first
    std::unique_ptr<WindowLabKey> labKey_;
    std::unique_ptr<WindowPlan> plan_;  // uses files_ and commands_: goes first
};

}  // namespace quarn::console::ui
