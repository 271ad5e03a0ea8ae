#include "tests/gui/main_window/window_test_support.h"

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <stdexcept>

#include "console/ui/endpoint_list_box.h"
#include "console/ui/endpoint_panel.h"
#include "console/ui/notice_panel.h"
#include "console/ui/pair_list_widget.h"
#include "console/ui/pair_setting_dialog.h"
#include "tests/gui/named_child.h"
#include "tests/gui/session_window.h"
#include "tests/support/temp_dir.h"
#include "widgets/skin_button.h"

using quarn::test::NamedChild;

namespace quarn::gui_test {

NamespaceEntry::NamespaceEntry(const std::string& netns) {
    original_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
    const std::string path = "/var/run/netns/" + netns;
    const int target = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool entered = original_ >= 0 && target >= 0 && setns(target, CLONE_NEWNET) == 0;
    if (target >= 0)
        close(target);
    if (!entered) {
        if (original_ >= 0)
            close(original_);
        throw std::runtime_error("cannot enter network namespace " + netns);
    }
}

NamespaceEntry::~NamespaceEntry() {
    if (setns(original_, CLONE_NEWNET) != 0)
        std::abort();  // the rest of the run would talk through the wrong network
    close(original_);
}

std::unique_ptr<MainWindow> MakeWindow(std::vector<std::string> interfaces,
                                       std::chrono::milliseconds intro) {
    console::SessionOptions session;
    session.interfaces = std::move(interfaces);
    MainWindow::Options window;
    window.introTime = intro;
    // No test window reads or keeps the user's own settings (a lab key file among them).
    static const test_support::TempDir settings("quarn-window-settings-");
    window.settingsDir = settings.Path();
    return std::make_unique<SessionWindow>(std::move(session), std::move(window));
}

void ShowMain(MainWindow& window) {
    window.show();
    window.EndIntro();
    QApplication::processEvents();
}

QImage Grab(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QColor PixelAt(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}

int InkIn(const QImage& image, QRect area, QColor background) {
    int ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            ink += image.pixelColor(x, y) != background ? 1 : 0;
    }
    return ink;
}

bool NoticeShown(const MainWindow& window) {
    return window.Notice()->isVisible();
}

QString NoticeText(const MainWindow& window) {
    return window.Notice()->Text();
}

void ConfirmNotice(MainWindow& window) {
    Click(NamedChild<widgets::SkinButton>(*window.Notice(), "confirm"));
    QApplication::processEvents();
}

void AnswerQuit(MainWindow& window, bool yes) {
    Click(yes ? NamedChild<widgets::SkinButton>(*window.Notice(), "yes")
              : NamedChild<widgets::SkinButton>(*window.Notice(), "confirm"));
    QApplication::processEvents();
}

void SelectEndPoint(MainWindow& window, int list, const std::string& address) {
    console::ui::EndPointListBox* box = window.EndPoints()->List(list);
    for (int i = 0; i < box->count(); ++i) {
        if (box->item(i)->text().startsWith(QString::fromStdString(address))) {
            QTest::mouseClick(box->viewport(), Qt::LeftButton, {},
                              box->visualItemRect(box->item(i)).center());
            return;
        }
    }
    ADD_FAILURE() << "no " << address << " in list " << list;
}

void SelectPairItems(MainWindow& window, const std::vector<int>& items) {
    console::ui::PairListWidget* list = window.PairList();
    list->clearSelection();
    for (int item : items) {
        const QModelIndex index = list->model()->index(item, 0);
        list->selectionModel()->select(index,
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

namespace {

// Runs `fill` on the Pair Setting dialog once it is open, then presses its Add/Apply.
void OnDialog(const std::function<void(console::ui::PairSettingDialog&)>& fill) {
    QTimer::singleShot(0, [fill] {
        auto* dialog =
            qobject_cast<console::ui::PairSettingDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            ADD_FAILURE() << "the Pair Setting dialog did not open";
            return;
        }
        fill(*dialog);
        Click(NamedChild<widgets::SkinButton>(*dialog, "add"));
    });
}

}  // namespace

void AddPairThroughDialog(MainWindow& window, const std::string& endpoint1,
                          const std::string& endpoint2) {
    OnDialog([&](console::ui::PairSettingDialog& dialog) {
        EXPECT_TRUE(dialog.AddMode());
        dialog.Edit1()->setText(QString::fromStdString(endpoint1));
        dialog.Edit2()->setText(QString::fromStdString(endpoint2));
    });
    Click(window.AddManually());
}

void EditPairThroughDialog(MainWindow& window, int item, const std::string& endpoint2) {
    OnDialog([&](console::ui::PairSettingDialog& dialog) {
        EXPECT_FALSE(dialog.AddMode());
        dialog.Edit2()->setText(QString::fromStdString(endpoint2));
    });
    console::ui::PairListWidget* list = window.PairList();
    const QRect row = list->visualRect(list->model()->index(item, 0));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row.center());
}

void Click(QWidget* button) {
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    return QTest::qWaitFor(done, timeoutMs);
}

void WindowNetworkTest::SetUp() {
    EndPointNetworkTest::SetUp();
    if (IsSkipped() || HasFatalFailure())
        return;
    inHost_ = std::make_unique<NamespaceEntry>(Network().Namespace(kConsoleHost));
    window_ = MakeWindow({"eth0"});
    ShowMain(*window_);
}

void WindowNetworkTest::TearDown() {
    window_.reset();
    inHost_.reset();
    EndPointNetworkTest::TearDown();
}

}  // namespace quarn::gui_test
