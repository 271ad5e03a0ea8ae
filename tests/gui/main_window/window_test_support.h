#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "console/ui/main_window.h"
#include "tests/e2e/console_network_test.h"

namespace quarn::gui_test {

using console::ui::MainWindow;

// Moves the calling thread into a network namespace for its life and back afterwards.
// The tests enter it on the main thread before the window exists, so every thread the
// window starts (search, pair workers, iperf children) lives there too.
class NamespaceEntry {
  public:
    explicit NamespaceEntry(const std::string& netns);
    ~NamespaceEntry();
    NamespaceEntry(const NamespaceEntry&) = delete;
    NamespaceEntry& operator=(const NamespaceEntry&) = delete;

  private:
    int original_ = -1;
};

// A window with a short intro whose discovery and "restart" stay on the given interfaces.
std::unique_ptr<MainWindow> MakeWindow(
    std::vector<std::string> interfaces,
    std::chrono::milliseconds intro = std::chrono::milliseconds(1));
// Shows the window and ends its intro.
void ShowMain(MainWindow& window);

QImage Grab(QWidget& widget);
QColor PixelAt(const QImage& image, int x, int y);
// How many pixels of the rectangle differ from `background`.
int InkIn(const QImage& image, QRect area, QColor background);

// The notice panel, as the operator sees it.
bool NoticeShown(const MainWindow& window);
QString NoticeText(const MainWindow& window);
void ConfirmNotice(MainWindow& window);
void AnswerQuit(MainWindow& window, bool yes);

// The controls the operator uses, driven as a click or key would.
void SelectEndPoint(MainWindow& window, int list, const std::string& address);
void SelectPairItems(MainWindow& window, const std::vector<int>& items);
// "Add manually" with the Pair Setting dialog filled in and confirmed.
void AddPairThroughDialog(MainWindow& window, const std::string& endpoint1,
                          const std::string& endpoint2);
// A double-click on the item, the dialog's End Point 2 changed and applied.
void EditPairThroughDialog(MainWindow& window, int item, const std::string& endpoint2);
void Click(QWidget* button);

// Waits while processing events; false at the time limit.
bool WaitFor(const std::function<bool()>& done, int timeoutMs);

// Host 1 holds the window; EndPoints named "Rack Node 2" and "Rack Node 3" on hosts 2, 3.
class WindowNetworkTest : public e2e::EndPointNetworkTest {
  protected:
    void SetUp() override;
    void TearDown() override;
    // The window in host 1, searching only through its eth0.
    MainWindow& Window() { return *window_; }
    void CloseWindow() { window_.reset(); }

    std::unique_ptr<NamespaceEntry> inHost_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace quarn::gui_test
