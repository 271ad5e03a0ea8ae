#pragma once

#include <QLineEdit>
#include <QPoint>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "console/core/console_data.h"
#include "console/core/console_view.h"
#include "console/core/measurement_run.h"
#include "console/net/control_client_factory.h"
#include "console/net/discovery_options.h"
#include "console/net/network_run_environment.h"
#include "console/ui/qt_dispatcher.h"

namespace quarn::widgets {
class SkinButton;
class SkinCombo;
}  // namespace quarn::widgets

namespace quarn::console::ui {

class AllStrip;
class CaptionBar;
class ChartWidget;
class EndPointPanel;
class MainCommands;
class ModeInputFilter;
class NoticePanel;
class PairListWidget;
class WindowFiles;

// The Console's main window: a 2-second intro, then the main look with the pair list,
// the All strip, the settings, the EndPoint panel and the chart. It draws its own caption
// and frame. The state lives in ConsoleData and the run in MeasurementRun, driven exactly
// as the headless runner drives them; MainCommands holds what the controls do.
class MainWindow : public QWidget, public ConsoleView {
    Q_OBJECT
  public:
    static constexpr QSize kIntroSize{527, 347};
    static constexpr QSize kMainSize{1115, 631};

    struct Options {
        // Empty: beside this program, then on PATH (QUARN_IPERF overrides).
        std::string iperfPath;
        // Discovery and "restart" go only through these interfaces; empty: all of them.
        std::vector<std::string> interfaces;
        std::chrono::milliseconds introTime{2000};
        std::chrono::milliseconds addressRefresh{10000};
        // A configuration file to open once the intro has ended ("" for none).
        std::string openFile;
        // Replace the network's pair sessions and run environment (benchmarks); must
        // outlive the window.
        PairSessionFactory* sessions = nullptr;
        RunEnvironment* environment = nullptr;
    };

    explicit MainWindow(Options options, QWidget* parent = nullptr);
    ~MainWindow() override;

    // ConsoleView
    void ShowNotice(NoticeKind kind, std::string_view text) override;
    void RedrawList() override;
    void TickProcessed(int ticks, int duration) override;
    void ModeChanged() override;
    void RunStarted() override;
    void LogChanged(int row) override;
    void RowsChanged(const std::vector<int>& rows) override;

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

    ConsoleData& Data() { return data_; }
    MeasurementRun& Run() { return run_; }
    MainCommands& Commands() { return *commands_; }
    // The File panel, the pair log windows, the help window and the chart's menu.
    WindowFiles& Files() { return *files_; }
    const DiscoveryOptions& Discovery() const { return discovery_; }
    console::Dispatcher& Dispatcher() { return dispatcher_; }

    CaptionBar* Caption() const { return caption_; }
    AllStrip* Strip() const { return allStrip_; }
    EndPointPanel* EndPoints() const { return endPointPanel_; }
    PairListWidget* PairList() const { return pairList_; }
    ChartWidget* Chart() const { return chart_; }
    NoticePanel* Notice() const { return notice_; }
    widgets::SkinCombo* Protocol() const { return protocol_; }
    QLineEdit* ValueEdit() const { return valueEdit_; }
    QLineEdit* DurationEdit() const { return durationEdit_; }
    widgets::SkinButton* StartStop() const { return startStop_; }
    widgets::SkinButton* AddManually() const { return addManually_; }
    widgets::SkinButton* DeletePair() const { return deletePair_; }
    widgets::SkinButton* AddEndPoint() const { return addEndPoint_; }
    widgets::SkinButton* SearchEndPoint() const { return searchEndPoint_; }
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
    QLineEdit* CreateEdit(const std::string& text);
    RunEnvironment& Environment() {
        return options_.environment ? *options_.environment : network_;
    }
    void ConnectControls();
    void RegisterInputRoles();

    Options options_;
    DiscoveryOptions discovery_;
    ConsoleData data_;
    QtDispatcher dispatcher_;
    NetworkRunEnvironment network_;
    ControlClientFactory sessions_;
    MeasurementRun run_;

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
};

}  // namespace quarn::console::ui
