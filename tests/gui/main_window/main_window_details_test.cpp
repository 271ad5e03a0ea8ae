// The main window's keyboard, tooltips, smallest size and the width its figures need:
// controls are found by their object names, as an operator's tools would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QTest>
#include <QToolTip>

#include "console/core/endpoint_entry.h"
#include "console/ui/caption_bar.h"
#include "console/ui/endpoint_list_box.h"
#include "console/ui/endpoint_panel.h"
#include "console/ui/pair_list_widget.h"
#include "console/ui/pair_setting_dialog.h"
#include "tests/gui/main_window/window_test_support.h"
#include "tests/gui/named_child.h"
#include "widgets/skin_button.h"

using quarn::test::NamedChild;

namespace quarn::gui_test {
namespace {

using console::PairRecord;
using console::ui::CaptionBar;
using console::ui::EndPointListBox;
using console::ui::EndPointPanel;
using console::ui::PairListWidget;

template <typename T = QWidget>
T* Named(QWidget& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

std::unique_ptr<MainWindow> Window() {
    auto window = MakeWindow({"lo"});
    ShowMain(*window);
    return window;
}

void AddPair(MainWindow& window, const std::string& first, const std::string& second,
             int parallel = 1) {
    PairRecord pair;
    pair.config.endpoint1 = first;
    pair.config.endpoint2 = second;
    pair.config.parallel = parallel;
    window.Data().AddPair(std::move(pair.config));
    window.UpdateLayout();
    window.RedrawList();
}

// The tooltip a hover at `at` of `widget` brings up, or an empty string.
QString TipAt(QWidget* widget, QPoint at) {
    QToolTip::hideText();  // takes effect a moment later
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
    QHelpEvent help(QEvent::ToolTip, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

std::string Endpoint1Of(MainWindow& window, int row) {
    return window.Data().table[row].config.endpoint1;
}

TEST(MainWindowDetails, DeleteKeyDoesWhatDeletePairDoes) {
    auto window = Window();
    auto* list = Named<PairListWidget>(*window, "pairList");
    ASSERT_NE(list, nullptr);
    for (int i = 0; i < 4; ++i)
        AddPair(*window, "198.18.0." + std::to_string(20 + i), "198.18.0.12");
    SelectPairItems(*window, {0, 2});
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Delete);
    ASSERT_EQ(window->Data().table.PairCount(), 2);
    EXPECT_EQ(Endpoint1Of(*window, 1), "198.18.0.21");
    EXPECT_EQ(Endpoint1Of(*window, 2), "198.18.0.23");

    // Nothing selected: the key and the button give the same answer.
    list->clearSelection();
    Click(Named(*window, "deletePair"));
    const bool buttonNotice = NoticeShown(*window);
    const QString buttonText = NoticeText(*window);
    if (buttonNotice)
        ConfirmNotice(*window);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(NoticeShown(*window), buttonNotice);
    EXPECT_EQ(NoticeText(*window), buttonText);
    EXPECT_EQ(window->Data().table.PairCount(), 2);
    // A modifier makes it another key.
    SelectPairItems(*window, {0});
    QTest::keyClick(list, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(window->Data().table.PairCount(), 2);
}

TEST(MainWindowDetails, TooltipsOnCutNamesTheAllSwitchAndTheStreamBadge) {
    auto window = Window();
    const std::string longName = "a-rather-long-endpoint-name.lab.example.org";
    window->Data().nameLookup["198.18.0.20"] = longName;
    AddPair(*window, "198.18.0.20", "198.18.0.12", 4);
    window->Data().table[1].config.showAddress = false;
    window->RedrawList();
    QApplication::processEvents();

    auto* list = Named<PairListWidget>(*window, "pairList");
    ASSERT_NE(list, nullptr);
    const QRect endpoints = list->visualRect(list->model()->index(0, 1));
    // The cut name shows whole; the second End Point fits and has no tooltip of its own.
    EXPECT_EQ(TipAt(list->viewport(), endpoints.topLeft() + QPoint(20, 10)),
              QString::fromStdString(longName));
    EXPECT_EQ(TipAt(list->viewport(), endpoints.topLeft() + QPoint(120, 10)), QString());
    // The badge of a four-stream TCP pair, next to the marker.
    const QRect name = list->visualRect(list->model()->index(0, 0));
    EXPECT_EQ(TipAt(list->viewport(), name.topLeft() + QPoint(48, 10)),
              QStringLiteral("4 parallel connections"));
    EXPECT_EQ(TipAt(list->viewport(), name.topLeft() + QPoint(20, 10)), QString());

    auto* all = Named(*window, "totalToggle");
    ASSERT_NE(all, nullptr);
    EXPECT_FALSE(all->toolTip().isEmpty());
    EXPECT_EQ(TipAt(all, QPoint(5, 5)), all->toolTip());

    // An EndPoint list entry whose name is cut.
    auto* panel = Named<EndPointPanel>(*window, "endPointPanel");
    ASSERT_NE(panel, nullptr);
    console::EndPointEntry entry;
    entry.address = "198.18.0.30";
    entry.name = "an-endpoint-name-far-too-long-for-its-list";
    entry.label = "(" + entry.name;
    console::EndPointEntry shortEntry = entry;
    shortEntry.address = "198.18.0.31";
    shortEntry.name = "pc";
    shortEntry.label = "(pc";
    panel->ShowEntries({entry, shortEntry});
    EndPointListBox* box = panel->List(1);
    const QRect first = box->visualRect(box->model()->index(0, 0));
    const QRect second = box->visualRect(box->model()->index(1, 0));
    EXPECT_EQ(TipAt(box->viewport(), QPoint(first.right() - 30, first.center().y())),
              QString::fromStdString(entry.label));
    EXPECT_EQ(TipAt(box->viewport(), QPoint(second.left() + 100, second.center().y())), QString());

    // The file name in the caption, cut at the window's smallest width.
    auto* caption = Named<CaptionBar>(*window, "caption");
    ASSERT_NE(caption, nullptr);
    const QString path = QStringLiteral("/srv/measurements/") + QString(60, QLatin1Char('x')) +
                         QStringLiteral(".config");
    caption->SetFileName(path);
    EXPECT_EQ(TipAt(caption, QPoint(caption->width() - 120, 16)), path);
    caption->SetFileName(QStringLiteral("short.config"));
    EXPECT_EQ(TipAt(caption, QPoint(caption->width() - 120, 16)), QString());
}

// Add manually takes IPv6 addresses in any spelling and keeps their canonical text. In the
// pair list and the EndPoint list a long one is cut, its whole text in the tooltip.
TEST(MainWindowDetails, Ipv6AddressesFitOrAreCutWithTheWholeTextInTheTooltip) {
    auto window = Window();
    const std::string longAddress = "fd00:77:1234:5678:9abc:def0:1234:5678";
    AddPairThroughDialog(*window, "FD00:77:1234:5678:9ABC:DEF0:1234:5678", "[fd00:77::12]");
    AddPairThroughDialog(*window, "fe80::77:11%lo", "198.18.0.12");
    ASSERT_EQ(window->Data().table.PairCount(), 2);
    EXPECT_EQ(Endpoint1Of(*window, 1), longAddress);
    EXPECT_EQ(window->Data().table[1].config.endpoint2, "fd00:77::12");
    EXPECT_EQ(Endpoint1Of(*window, 2), "fe80::77:11%lo");
    QApplication::processEvents();

    auto* list = Named<PairListWidget>(*window, "pairList");
    ASSERT_NE(list, nullptr);
    const QRect endpoints = list->visualRect(list->model()->index(0, 1));
    EXPECT_EQ(TipAt(list->viewport(), endpoints.topLeft() + QPoint(20, 10)),
              QString::fromStdString(longAddress));
    EXPECT_EQ(TipAt(list->viewport(), endpoints.topLeft() + QPoint(120, 10)), QString());

    auto* panel = Named<EndPointPanel>(*window, "endPointPanel");
    ASSERT_NE(panel, nullptr);
    console::EndPointEntry cut;
    cut.address = longAddress;
    cut.name = "bench";
    cut.label = "(bench";
    console::EndPointEntry fits;
    fits.address = "fd00:77::12";
    fits.name = "pc";
    fits.label = "(pc";
    panel->ShowEntries({cut, fits});
    EndPointListBox* box = panel->List(1);
    const QRect first = box->visualRect(box->model()->index(0, 0));
    const QRect second = box->visualRect(box->model()->index(1, 0));
    EXPECT_EQ(TipAt(box->viewport(), QPoint(first.left() + 30, first.center().y())),
              QString::fromStdString(longAddress + "\n(bench)"));
    EXPECT_EQ(TipAt(box->viewport(), QPoint(second.left() + 30, second.center().y())), QString());

    const QString dir = qEnvironmentVariable("QUARN_GUI_GRAB_DIR");
    if (!dir.isEmpty())
        window->grab().save(dir + QStringLiteral("/main_window_ipv6.png"));
}

// Every pair of visible sibling controls, by name, whose rectangles share a pixel.
std::vector<std::string> Overlaps(QWidget& parent) {
    std::vector<QWidget*> shown;
    for (QWidget* child : parent.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && !child->isWindow() && !child->geometry().isEmpty())
            shown.push_back(child);
    }
    std::vector<std::string> found;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        for (std::size_t j = i + 1; j < shown.size(); ++j) {
            if (shown[i]->geometry().intersects(shown[j]->geometry())) {
                found.push_back(shown[i]->objectName().toStdString() + " / " +
                                shown[j]->objectName().toStdString());
            }
        }
    }
    return found;
}

TEST(MainWindowDetails, NothingOverlapsAtTheSmallestSize) {
    auto window = Window();
    for (int i = 0; i < 16; ++i)
        AddPair(*window, "198.18.0." + std::to_string(20 + i), "198.18.0.12");
    window->resize(700, 450);  // asked smaller than it may be
    QApplication::processEvents();
    EXPECT_EQ(window->size(), window->minimumSize());
    if (const QByteArray dir = qgetenv("QUARN_GUI_DUMP"); !dir.isEmpty())
        Grab(*window).save(QString::fromLocal8Bit(dir) + QStringLiteral("/main_smallest.png"));
    const std::vector<std::string> overlaps = Overlaps(*window);
    EXPECT_TRUE(overlaps.empty()) << ::testing::PrintToString(overlaps);
    // Every control lies inside the window.
    for (QWidget* child : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isVisible() && !child->isWindow()) {
            EXPECT_TRUE(window->rect().contains(child->geometry()))
                << child->objectName().toStdString();
        }
    }
}

TEST(MainWindowDetails, AddManuallyTakesAHostNameAndShowsItAsTheLabel) {
    auto window = Window();
    // "localhost" is answered by the hosts file: no query leaves the machine.
    AddPairThroughDialog(*window, "localhost", "198.18.0.12");
    ASSERT_EQ(window->Data().table.PairCount(), 1);
    EXPECT_EQ(Endpoint1Of(*window, 1), "127.0.0.1");
    auto* list = Named<PairListWidget>(*window, "pairList");
    ASSERT_NE(list, nullptr);
    const QModelIndex endpoints = list->model()->index(0, 1);
    EXPECT_TRUE(
        list->model()->data(endpoints, console::ui::PairListModel::FirstEndPointRole).toString() ==
        QStringLiteral("localhost"));

    // A mistyped address keeps the dialog open with its hint; Cancel then adds nothing.
    QTimer::singleShot(0, [] {
        auto* dialog =
            qobject_cast<console::ui::PairSettingDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->Edit1()->setText(QStringLiteral("198.19.99.300"));
        dialog->Edit2()->setText(QStringLiteral("198.18.0.12"));
        Click(NamedChild<widgets::SkinButton>(*dialog, "add"));
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(dialog->HintShown());
        Click(NamedChild<widgets::SkinButton>(*dialog, "cancel"));
    });
    Click(Named(*window, "addManually"));
    EXPECT_EQ(window->Data().table.PairCount(), 1);
}

TEST(MainWindowDetails, PairSettingKeepsThePairsOwnPassLines) {
    auto window = Window();
    AddPairThroughDialog(*window, "198.18.0.11", "198.18.0.12");
    ASSERT_EQ(window->Data().table.PairCount(), 1);
    QTimer::singleShot(0, [] {
        auto* dialog =
            qobject_cast<console::ui::PairSettingDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->LineFields()->Field(0)->setText(QStringLiteral("90%"));
        dialog->LineFields()->Field(1)->setText(QStringLiteral("0.5"));
        Click(NamedChild<widgets::SkinButton>(*dialog, "add"));
    });
    auto* list = Named<PairListWidget>(*window, "pairList");
    ASSERT_NE(list, nullptr);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                       list->visualRect(list->model()->index(0, 0)).center());
    const console::PassLines& lines = window->Data().table[1].config.passLines;
    EXPECT_EQ(lines.minThroughput, (console::ThroughputLine{90.0, true}));
    EXPECT_EQ(lines.maxLossPercent, std::optional<double>(0.5));
    EXPECT_FALSE(lines.maxJitterMs);
    EXPECT_TRUE(window->Data().settings.passLines.Empty());  // the run's stay as they were
}

}  // namespace
}  // namespace quarn::gui_test
