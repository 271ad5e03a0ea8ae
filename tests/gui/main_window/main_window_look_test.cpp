// The window's look and its commands that need no network: pixels at the layout's
// coordinates, sizes, number formats, the protocol text memory, the menu's enabling, the
// input filter and the refusal notices that come before anything is sent.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <atomic>

#include "console/core/endpoint_entry.h"
#include "console/core/run_environment.h"
#include "console/ui/all_strip.h"
#include "console/ui/border_zones.h"
#include "console/ui/caption_bar.h"
#include "console/ui/chart_widget.h"
#include "console/ui/endpoint_list_box.h"
#include "console/ui/endpoint_panel.h"
#include "console/ui/main_commands.h"
#include "console/ui/mode_input_filter.h"
#include "console/ui/notice_panel.h"
#include "console/ui/pair_list_model.h"
#include "console/ui/pair_list_widget.h"
#include "console/ui/pair_menu.h"
#include "tests/gui/main_window/window_test_support.h"
#include "tests/gui/named_child.h"
#include "tests/gui/session_window.h"
#include "tests/gui/widgets/gui_dump.h"
#include "widgets/skin_button.h"
#include "widgets/skin_combo.h"

using quarn::test::NamedChild;

namespace quarn::gui_test {
namespace {

using console::ConsoleMode;
using console::PairConfig;
using console::ui::AllFigureText;
using console::ui::CaptionBar;
using console::ui::PairMenuContext;

const QColor kBackground(241, 241, 241);
const QColor kFrame(210, 210, 210);

void AddPairs(MainWindow& window, int count) {
    for (int i = 0; i < count; ++i) {
        PairConfig pair;
        pair.endpoint1 = "198.18.0." + std::to_string(20 + i);
        pair.endpoint2 = "198.18.0.12";
        window.Data().AddPair(std::move(pair));
    }
    window.UpdateLayout();
    window.RedrawList();
}

// Every test here keeps its (nonexistent) discovery on loopback and never starts a run.
std::unique_ptr<MainWindow> MainLookWindow() {
    auto window = MakeWindow({"lo"});
    ShowMain(*window);
    return window;
}

TEST(MainWindowLook, IntroShowsForItsTimeThenTheMainLookCentred) {
    auto window = MakeWindow({"lo"}, std::chrono::milliseconds(400));
    window->show();
    ASSERT_TRUE(window->InIntro());
    EXPECT_EQ(window->size(), QSize(527, 347));
    EXPECT_FALSE(NamedChild<widgets::SkinButton>(*window, "startStop")->isVisible());
    EXPECT_FALSE(window->Caption()->isVisible());
    const QImage intro = Grab(*window);
    EXPECT_EQ(PixelAt(intro, 300, 330), kBackground);
    EXPECT_EQ(PixelAt(intro, 0, 200), kFrame);
    EXPECT_EQ(PixelAt(intro, 526, 200), kFrame);
    // The wait line, grey, inside its band; the logo at (114, 82).
    EXPECT_GT(InkIn(intro, QRect(0, 282, 526, 25), kBackground), 100);
    EXPECT_EQ(InkIn(intro, QRect(1, 310, 524, 30), kBackground), 0);
    EXPECT_GT(InkIn(intro, QRect(114, 82, 277, 178), kBackground), 1000);

    ASSERT_TRUE(WaitFor([&] { return !window->InIntro(); }, 3000));
    EXPECT_EQ(window->size(), QSize(1115, 631));
    EXPECT_EQ(window->minimumSize(), QSize(1115, 631));
    EXPECT_TRUE(NamedChild<widgets::SkinButton>(*window, "startStop")->isVisible());
    EXPECT_TRUE(window->Caption()->isVisible());
    EXPECT_FALSE(NamedChild<QWidget>(*window->EndPoints(), "searchAnimation")->isVisible());
    const QRect screen = window->screen()->availableGeometry();
    EXPECT_LE(std::abs(window->geometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(window->geometry().center().y() - screen.center().y()), 1);
}

TEST(MainWindowLook, CaptionStripesAndTheAllStripSitAtTheirCoordinates) {
    auto window = MainLookWindow();
    const int w = window->width();
    QImage image = Grab(*window);
    // Frame, white top line, caption fill and its separator.
    EXPECT_EQ(PixelAt(image, 0, 300), kFrame);
    EXPECT_EQ(PixelAt(image, w - 1, 300), kFrame);
    EXPECT_EQ(PixelAt(image, 600, 630), kFrame);
    EXPECT_EQ(PixelAt(image, 400, 1), QColor(Qt::white));
    EXPECT_EQ(PixelAt(image, 400, 6), QColor(224, 224, 224));
    EXPECT_EQ(PixelAt(image, 400, 30), QColor(224, 224, 224));
    EXPECT_NE(PixelAt(image, 400, 31), QColor(224, 224, 224));
    EXPECT_EQ(PixelAt(image, 400, 33), kBackground);
    // The IP text and its separator at x 169.
    EXPECT_EQ(PixelAt(image, 169, 20), QColor(177, 177, 177));
    EXPECT_GT(InkIn(image, QRect(178, 14, 60, 14), QColor(224, 224, 224)), 20);
    // The caption buttons are drawn at w - 51, w - 37, w - 23.
    for (int left : {w - 51, w - 37, w - 23})
        EXPECT_GT(InkIn(image, QRect(left, 10, 12, 12), QColor(224, 224, 224)), 4) << left;

    // Stripes below the list, from 123 on: 247 first, then white.
    const int listBottom = 123 + MainWindow::PairListHeight(0);
    for (int y = listBottom; y < 270; ++y) {
        const int stripe = (y - 123) / 21;
        const QColor expected = stripe % 2 == 0 ? QColor(247, 247, 247) : QColor(Qt::white);
        EXPECT_EQ(PixelAt(image, 400, y), expected) << y;
    }
    // The All strip: white, its marker 6 x 6 while the aggregate curve is off.
    EXPECT_EQ(PixelAt(image, 250, 84), QColor(Qt::white));
    EXPECT_EQ(PixelAt(image, 250, 121), QColor(Qt::white));
    EXPECT_EQ(PixelAt(image, 7 + 4, 81 + 18), QColor(Qt::white));
    EXPECT_EQ(PixelAt(image, 7 + 5 + 2, 81 + 19 + 2), QColor(Qt::black));
    EXPECT_GT(InkIn(image, QRect(7 + 15, 81 + 7, 40, 26), QColor(Qt::white)), 50);  // "All"
    window->Commands().ToggleTotal();
    image = Grab(*window);
    EXPECT_EQ(PixelAt(image, 7 + 4, 81 + 18), QColor(Qt::black));
    EXPECT_EQ(PixelAt(image, 7 + 4 + 7, 81 + 18 + 7), QColor(Qt::black));
    // The edit frames.
    EXPECT_EQ(PixelAt(image, 499, 45), QColor(217, 217, 217));
    EXPECT_EQ(PixelAt(image, 655, 45), QColor(217, 217, 217));
    EXPECT_EQ(PixelAt(image, 550, 45), QColor(217, 217, 217));
    EXPECT_EQ(PixelAt(image, 520, 37), QColor(217, 217, 217));
    EXPECT_EQ(PixelAt(image, 520, 55), QColor(217, 217, 217));
    EXPECT_EQ(window->ValueEdit()->geometry(), QRect(504, 41, 42, 13));
    EXPECT_EQ(window->DurationEdit()->geometry(), QRect(660, 41, 42, 13));
}

TEST(MainWindowLook, ButtonFacesFollowHoverAndMode) {
    auto window = MainLookWindow();
    const int w = window->width();
    QImage image = Grab(*window);
    EXPECT_EQ(PixelAt(image, 8, 275 + 34), QColor(154, 177, 75));
    EXPECT_EQ(PixelAt(image, w - 477 + 1, 275 + 15), QColor(185, 198, 140));
    EXPECT_EQ(PixelAt(image, w - 477 + 1, 295 + 15), QColor(185, 198, 140));
    // Under the pointer.
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(NamedChild<widgets::SkinButton>(*window, "startStop"), &enter);
    QApplication::sendEvent(window->AddManually(), &enter);
    image = Grab(*window);
    EXPECT_EQ(PixelAt(image, 8, 275 + 34), QColor(167, 189, 88));
    EXPECT_EQ(PixelAt(image, w - 477 + 1, 275 + 15), QColor(194, 207, 149));
    // Texts: the product name and the command under it.
    EXPECT_GT(InkIn(image, QRect(35, 275 + 7, 80, 12), QColor(167, 189, 88)), 30);
    EXPECT_GT(InkIn(image, QRect(34, 275 + 21, 100, 12), QColor(167, 189, 88)), 30);
}

TEST(MainWindowLook, AllFiguresUseTheirNumberFormats) {
    EXPECT_EQ(AllFigureText(12345.678f, "12345.68"), "12345.7");
    EXPECT_EQ(AllFigureText(123456.7f, "123456.70"), "123456");
    EXPECT_EQ(AllFigureText(9999.99f, "9999.99"), "9999.99");
    EXPECT_EQ(AllFigureText(10000.0f, "10000.00"), "10000.00");
    EXPECT_EQ(AllFigureText(100000.0f, "100000.00"), "100000.0");
    EXPECT_EQ(AllFigureText(-1.0f, "0.00"), "0.00");

    // The strip draws what the formats give, not the stored text: right-aligned, the
    // shorter text starts further right than the stored one would.
    auto window = MainLookWindow();
    console::PairRecord& all = window->Data().table.All();
    const QRect current(367, 81, 80, 42);
    const auto leftmostInk = [&](float value, const char* stored) {
        all.figures.sum = value;
        all.figures.currentText = stored;
        window->RedrawList();
        const QImage image = Grab(*window);
        for (int x = current.left(); x <= current.right(); ++x) {
            if (InkIn(image, QRect(x, current.top(), 1, current.height()), Qt::white) > 0)
                return x;
        }
        return -1;
    };
    EXPECT_GT(leftmostInk(12345.678f, "12345.68"), leftmostInk(9999.0f, "12345.68"));
    EXPECT_GT(leftmostInk(123456.7f, "123456.70"), leftmostInk(9999.0f, "123456.70"));
    EXPECT_EQ(leftmostInk(9999.99f, "9999.99"), leftmostInk(1.0f, "9999.99"));
}

TEST(MainWindowLayout, ResizingKeepsTheRightAnchoredItemsAndWidensTheList) {
    auto window = MainLookWindow();
    window->resize(1500, 700);
    QApplication::processEvents();
    EXPECT_EQ(window->EndPoints()->geometry(), QRect(1500 - 373, 60, 367, 253));
    EXPECT_EQ(NamedChild<widgets::SkinButton>(*window, "searchEndPoint")->geometry(),
              QRect(1500 - 259, 40, 122, 14));
    EXPECT_EQ(window->AddManually()->geometry(), QRect(1500 - 477, 275, 101, 17));
    EXPECT_EQ(window->FileMenuButton()->geometry(), QRect(1500 - 81, 9, 14, 15));
    EXPECT_EQ(window->PairList()->geometry().width(), 1500 - 376 - 7);
    EXPECT_EQ(NamedChild<widgets::SkinButton>(*window, "startStop")->geometry(),
              QRect(6, 275, 1500 - 486, 37));
    EXPECT_EQ(window->Chart()->geometry(), QRect(7, 337, 1500 - 14, 700 - 344));
    EXPECT_EQ(window->Caption()->ButtonRect(CaptionBar::Button::Close),
              QRect(1500 - 23, 10, 12, 12));
    // Never smaller than the main size.
    window->resize(900, 500);
    QApplication::processEvents();
    EXPECT_EQ(window->size(), QSize(1115, 631));
}

TEST(MainWindowLayout, SixPairsFitTheListAndTheSeventhScrolls) {
    auto window = MainLookWindow();
    AddPairs(*window, 6);
    QApplication::processEvents();
    EXPECT_EQ(window->PairList()->height(), 147);
    EXPECT_EQ(window->PairList()->verticalScrollBar()->maximum(), 0);
    AddPairs(*window, 1);
    QApplication::processEvents();
    EXPECT_EQ(window->PairList()->height(), 147);
    EXPECT_GT(window->PairList()->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(MainWindow::PairListHeight(3), 84);
    EXPECT_EQ(MainWindow::PairListHeight(16), 147);
}

TEST(MainWindowLayout, BorderZonesResizeWithTheirCursors) {
    using console::ui::BorderZoneAt;
    const QSize size(1115, 631);
    EXPECT_EQ(BorderZoneAt({3, 3}, size), Qt::TopEdge | Qt::LeftEdge);
    EXPECT_EQ(BorderZoneAt({500, 5}, size), Qt::TopEdge);
    EXPECT_EQ(BorderZoneAt({1110, 2}, size), Qt::TopEdge | Qt::RightEdge);
    EXPECT_EQ(BorderZoneAt({2, 300}, size), Qt::LeftEdge);
    EXPECT_EQ(BorderZoneAt({3, 300}, size), Qt::Edges());
    EXPECT_EQ(BorderZoneAt({10, 628}, size), Qt::BottomEdge | Qt::LeftEdge);
    EXPECT_EQ(BorderZoneAt({1112, 300}, size), Qt::RightEdge);
    EXPECT_EQ(BorderZoneAt({1105, 630}, size), Qt::BottomEdge | Qt::RightEdge);
    EXPECT_EQ(BorderZoneAt({500, 628}, size), Qt::BottomEdge);
    EXPECT_EQ(BorderZoneAt({500, 300}, size), Qt::Edges());
    EXPECT_EQ(console::ui::BorderCursor(Qt::BottomEdge | Qt::RightEdge), Qt::SizeFDiagCursor);
    EXPECT_EQ(console::ui::BorderCursor(Qt::TopEdge | Qt::RightEdge), Qt::SizeBDiagCursor);

    auto window = MainLookWindow();
    QTest::mouseMove(window.get(), QPoint(1113, 300));
    EXPECT_EQ(window->cursor().shape(), Qt::SizeHorCursor);
    // The caption bar leaves its top edge to the window.
    QTest::mouseMove(window->Caption(), QPoint(500, 3));
    EXPECT_EQ(window->Caption()->cursor().shape(), Qt::SizeVerCursor);
    QTest::mouseMove(window->Caption(), QPoint(500, 20));
    EXPECT_EQ(window->Caption()->cursor().shape(), Qt::ArrowCursor);
}

TEST(MainWindowCommands, CaptionButtonsHoverAndTheCloseButtonAsksFirst) {
    auto window = MainLookWindow();
    CaptionBar* caption = window->Caption();
    const QPoint close = caption->ButtonRect(CaptionBar::Button::Close).center();
    const QRect closeRect = caption->ButtonRect(CaptionBar::Button::Close);
    const QImage before = Grab(*caption).copy(closeRect);
    QTest::mouseMove(caption, close);
    EXPECT_EQ(caption->Hovered(), CaptionBar::Button::Close);
    EXPECT_NE(Grab(*caption).copy(closeRect), before);
    QTest::mouseClick(caption, Qt::LeftButton, {}, close);
    ASSERT_TRUE(NoticeShown(*window));
    EXPECT_EQ(NoticeText(*window), "Are you sure to quit?");
    EXPECT_TRUE(window->Notice()->Blocking());
    AnswerQuit(*window, false);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->Quitting());
    EXPECT_FALSE(NoticeShown(*window));
    EXPECT_FALSE(window->Notice()->Blocking());
    // A window-system close asks the same question.
    window->close();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(NoticeText(*window), "Are you sure to quit?");
    AnswerQuit(*window, false);
}

TEST(MainWindowCommands, TheProtocolSwitchKeepsATextPerProtocol) {
    auto window = MainLookWindow();
    QLineEdit* value = window->ValueEdit();
    EXPECT_EQ(value->text(), "5");
    value->setText("3");
    const QImage tcp = Grab(*window);
    window->Protocol()->setCurrentIndex(1);
    EXPECT_EQ(value->text(), "100");
    EXPECT_EQ(window->Data().settings.protocol, console::Protocol::Udp);
    // "Window size" / "MByte" became "Throughput" / "Mbps".
    const QImage udp = Grab(*window);
    EXPECT_NE(tcp.copy(420, 38, 75, 16), udp.copy(420, 38, 75, 16));
    EXPECT_NE(tcp.copy(556, 38, 40, 16), udp.copy(556, 38, 40, 16));
    value->setText("250");
    window->Protocol()->setCurrentIndex(0);
    EXPECT_EQ(value->text(), "3");
    window->Protocol()->setCurrentIndex(1);
    EXPECT_EQ(value->text(), "250");
    EXPECT_EQ(window->Data().settings.windowSizeText, "3");
}

// Figures belong to the settings that produced them: an edit of a pair's addresses clears
// its row and its curve, and after a protocol switch the list notes what the kept figures
// were measured with.
TEST(MainWindowCommands, AnEditedPairLosesItsFiguresAndASwitchNotesTheProtocol) {
    auto window = MainLookWindow();
    console::ConsoleData& data = window->Data();
    AddPairs(*window, 2);
    data.chart.BeginRun(2);
    for (int row = 1; row <= 2; ++row) {
        console::PairRecord& pair = data.table[row];
        pair.figures.count = 3;
        pair.figures.countText = "3";
        pair.figures.max = 9.5f;
        pair.figures.maxText = "9.50";
        pair.figures.state = console::PairState::Done;
        pair.figures.statusText = "Done";
        for (float value : {8.0f, 9.5f, 9.0f}) {
            data.chart.AppendPoint(row, value);
        }
    }
    window->RedrawList();
    console::ui::PairListWidget* list = window->PairList();
    auto cell = [&](int item, int column) {
        return list->model()->index(item, column).data().toString();
    };
    ASSERT_EQ(cell(0, console::ui::PairListModel::MaxColumn), "9.50");

    EditPairThroughDialog(*window, 0, "198.18.0.99");
    ASSERT_EQ(data.table[1].config.endpoint2, "198.18.0.99");
    EXPECT_EQ(cell(0, console::ui::PairListModel::StatusColumn), "Ready");
    EXPECT_EQ(cell(0, console::ui::PairListModel::CountColumn), "0");
    EXPECT_EQ(cell(0, console::ui::PairListModel::MaxColumn), "0.00");
    EXPECT_TRUE(data.chart.Series()[1].empty());
    EXPECT_EQ(cell(1, console::ui::PairListModel::MaxColumn), "9.50");
    EXPECT_EQ(data.chart.Series()[2].size(), 3u);

    // No note while the protocol is the one measured with.
    const auto tip = [&](int item) {
        return list->model()->index(item, 0).data(Qt::ToolTipRole).toString();
    };
    const QString note =
        QStringLiteral("Figures measured with TCP; UDP is selected for the next run.");
    EXPECT_FALSE(tip(1).contains(QStringLiteral("measured with")));
    // The All strip's free space between the switch and the count, in strip coordinates.
    QWidget* strip = window->findChild<console::ui::AllStrip*>();
    ASSERT_NE(strip, nullptr);
    const QRect noteArea(125 - 7, 8, 135, 26);
    EXPECT_EQ(InkIn(Grab(*strip), noteArea, Qt::white), 0);

    window->Protocol()->setCurrentIndex(1);
    EXPECT_TRUE(tip(1).startsWith(note + QLatin1Char('\n'))) << tip(1).toStdString();
    EXPECT_TRUE(tip(0).isEmpty()) << "the edited pair has no figures to note";
    EXPECT_EQ(cell(1, console::ui::PairListModel::MaxColumn), "9.50") << "not relabelled";
    EXPECT_GT(InkIn(Grab(*strip), noteArea, Qt::white), 40) << "\"measured with TCP\" drawn";
    widgets::testing::GrabAndDump(*window, "main_window_measured_with");
    window->Protocol()->setCurrentIndex(0);
    EXPECT_FALSE(tip(1).contains(QStringLiteral("measured with")));
    EXPECT_EQ(InkIn(Grab(*strip), noteArea, Qt::white), 0);
}

TEST(MainWindowCommands, MenuEnablingFollowsModeSelectionAndClipboard) {
    using console::ui::ComputePairMenuEnabling;
    PairMenuContext running;
    running.mode = ConsoleMode::Measuring;
    running.selected = 1;
    auto e = ComputePairMenuEnabling(running);
    EXPECT_TRUE(e.showLog);
    EXPECT_FALSE(e.exchange || e.remove || e.copy || e.paste || e.activate || e.inactivate);
    EXPECT_FALSE(e.showAsAddress);  // the pair shows addresses already
    EXPECT_TRUE(e.showAsName);

    PairMenuContext idleOne;
    idleOne.selected = 1;
    idleOne.clipboardEmpty = false;
    e = ComputePairMenuEnabling(idleOne);
    EXPECT_FALSE(e.activate);
    EXPECT_TRUE(e.inactivate && e.paste && e.copy && e.remove && e.exchange);

    PairMenuContext idleMany = idleOne;
    idleMany.selected = 3;
    e = ComputePairMenuEnabling(idleMany);
    EXPECT_TRUE(e.activate && e.inactivate && e.showAsAddress && e.showAsName);

    PairMenuContext emptyArea;
    emptyArea.emptyArea = true;
    emptyArea.selected = 0;
    emptyArea.clipboardEmpty = false;
    e = ComputePairMenuEnabling(emptyArea);
    EXPECT_FALSE(e.showLog || e.copy || e.remove || e.exchange || e.activate || e.inactivate);
    EXPECT_TRUE(e.paste);

    // In the window: nothing selected and an empty clipboard offer no menu below the rows.
    auto window = MainLookWindow();
    AddPairs(*window, 2);
    EXPECT_FALSE(window->Commands().OpenEmptyAreaMenu(QPoint(100, 250)));
    EXPECT_FALSE(window->Commands().Menu()->isVisible());
}

// A pair's menu offers Paste only with something copied; the rest does not depend on it.
TEST(MainWindowCommands, PasteOnAPairNeedsSomethingCopied) {
    using console::ui::ComputePairMenuEnabling;
    PairMenuContext context;
    context.selected = 1;
    context.clipboardEmpty = true;
    const auto nothingCopied = ComputePairMenuEnabling(context);
    context.clipboardEmpty = false;
    const auto copied = ComputePairMenuEnabling(context);
    EXPECT_FALSE(nothingCopied.paste);
    EXPECT_TRUE(copied.paste);
    EXPECT_EQ(nothingCopied.copy, copied.copy);
    EXPECT_EQ(nothingCopied.remove, copied.remove);
    EXPECT_EQ(nothingCopied.inactivate, copied.inactivate);
}

// The pair menu's builder: the selected pairs' reverses, each once, with the pair's own
// streams and options; nothing at all when they would not fit the 16 pairs.
TEST(MainWindowCommands, BothWaysAddsTheReversesOfTheSelectedPairs) {
    auto window = MainLookWindow();
    console::ConsoleData& data = window->Data();
    AddPairs(*window, 3);
    data.table[1].config.parallel = 4;
    data.table[1].config.traffic.dscp = 46;
    SelectPairItems(*window, {0, 1});
    window->Commands().OpenItemMenu(window->Data().table.IdAt(1),
                                    window->mapToGlobal(QPoint(100, 130)));
    console::ui::PairMenu* menu = window->Commands().Menu();
    EXPECT_TRUE(menu->bothWays->isEnabled());
    EXPECT_EQ(menu->bothWays->text(), QStringLiteral("Add Both Ways (&B)"));
    menu->bothWays->trigger();
    menu->hide();
    ASSERT_EQ(data.table.PairCount(), 5);
    EXPECT_EQ(data.table[4].config.endpoint1, "198.18.0.12");
    EXPECT_EQ(data.table[4].config.endpoint2, "198.18.0.20");
    EXPECT_EQ(data.table[4].config.parallel, 4);
    EXPECT_EQ(data.table[4].config.traffic.dscp, 46);
    EXPECT_EQ(data.table[5].config.endpoint2, "198.18.0.21");
    // Once there, a reverse is not added again.
    SelectPairItems(*window, {0, 3});
    window->Commands().AddBothWays();
    EXPECT_EQ(data.table.PairCount(), 5);

    AddPairs(*window, 9);                 // 14 pairs
    SelectPairItems(*window, {7, 8, 9});  // three pairs without reverses
    window->Commands().AddBothWays();
    EXPECT_EQ(data.table.PairCount(), 14);
    ASSERT_TRUE(NoticeShown(*window));
    EXPECT_EQ(NoticeText(*window).toStdString(),
              "Both ways would make 17 pairs; the max count of pairs is 16.");
    ConfirmNotice(*window);
}

// Lists several EndPoints and picks some in each list by Ctrl+click, as an operator does.
void ListEndPoints(MainWindow& window, int count) {
    std::vector<console::EndPointEntry> found(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        found[static_cast<std::size_t>(i)].address = "198.18.1." + std::to_string(i + 1);
    ASSERT_TRUE(window.Data().ApplySearchResult(found).Ok());
    window.EndPoints()->ShowEntries(window.Data().endPoints);
}

void PickEndPoints(MainWindow& window, int list, const std::vector<int>& rows) {
    console::ui::EndPointListBox* box = window.EndPoints()->List(list);
    box->clearSelection();
    for (int row : rows)
        QTest::mouseClick(box->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          box->visualItemRect(box->item(row)).center());
}

std::vector<std::pair<std::string, std::string>> EndsFrom(const console::ConsoleData& data,
                                                          int firstRow) {
    std::vector<std::pair<std::string, std::string>> ends;
    for (int row = firstRow; row < data.table.Size(); ++row)
        ends.emplace_back(data.table[row].config.endpoint1, data.table[row].config.endpoint2);
    return ends;
}

// The pair menu's mesh, fan-in and fan-out take the EndPoint lists' selections; a pair
// already there is not added twice, and a builder beyond the 16 pairs adds nothing.
TEST(MainWindowCommands, BuildersPairTheSelectedEndPoints) {
    auto window = MainLookWindow();
    console::ConsoleData& data = window->Data();
    console::ui::PairMenu* menu = window->Commands().Menu();
    ASSERT_FALSE(window->Commands().OpenEmptyAreaMenu(QPoint(100, 250)));
    ListEndPoints(*window, 6);
    // An empty table offers the builders below its rows once EndPoints are listed.
    ASSERT_TRUE(window->Commands().OpenEmptyAreaMenu(window->mapToGlobal(QPoint(100, 250))));
    EXPECT_TRUE(menu->mesh->isEnabled() && menu->fanIn->isEnabled() && menu->fanOut->isEnabled());
    EXPECT_FALSE(menu->bothWays->isEnabled());

    PickEndPoints(*window, 1, {0, 2, 3});
    EXPECT_EQ(window->EndPoints()->Selections(1),
              (std::vector<std::string>{"198.18.1.1", "198.18.1.3", "198.18.1.4"}));
    menu->mesh->trigger();
    menu->hide();
    ASSERT_EQ(data.table.PairCount(), 6);
    EXPECT_EQ(EndsFrom(data, 1).front(),
              std::make_pair(std::string("198.18.1.1"), std::string("198.18.1.3")));
    EXPECT_EQ(EndsFrom(data, 1).back(),
              std::make_pair(std::string("198.18.1.4"), std::string("198.18.1.3")));

    // Fan-in: 1.1 -> 1.3 is there from the mesh; 1.3 itself is not paired with itself.
    PickEndPoints(*window, 1, {0, 1, 2});
    PickEndPoints(*window, 2, {2});
    window->Commands().AddBuilt(console::ListBuilder::FanIn);
    EXPECT_EQ(EndsFrom(data, 7),
              (std::vector<std::pair<std::string, std::string>>{{"198.18.1.2", "198.18.1.3"}}));

    // Fan-out needs the one End Point 1.
    PickEndPoints(*window, 2, {4, 5});
    window->Commands().AddBuilt(console::ListBuilder::FanOut);
    ASSERT_TRUE(NoticeShown(*window));
    EXPECT_EQ(NoticeText(*window).toStdString(), "Select one End Point 1 for fan-out.");
    ConfirmNotice(*window);
    PickEndPoints(*window, 1, {5});
    window->Commands().AddBuilt(console::ListBuilder::FanOut);
    EXPECT_EQ(EndsFrom(data, 8),
              (std::vector<std::pair<std::string, std::string>>{{"198.18.1.6", "198.18.1.5"}}));
    EXPECT_EQ(window->PairList()->model()->rowCount(),
              data.table.PairCount());  // the list shows them

    // A mesh of four adds twelve, over the 16 beside the eight there: said, nothing added.
    PickEndPoints(*window, 1, {1, 3, 4, 5});
    window->Commands().AddBuilt(console::ListBuilder::Mesh);
    EXPECT_EQ(data.table.PairCount(), 8);
    ASSERT_TRUE(NoticeShown(*window));
    EXPECT_EQ(NoticeText(*window).toStdString(),
              "The mesh would make 19 pairs; the max count of pairs is 16.");
    ConfirmNotice(*window);
}

TEST(MainWindowCommands, RefusalsShowTheirNotices) {
    auto window = MainLookWindow();
    console::ui::MainCommands& commands = window->Commands();
    const auto refusal = [&](const std::function<void()>& command) {
        command();
        const QString text = NoticeShown(*window) ? NoticeText(*window) : QString();
        if (NoticeShown(*window))
            ConfirmNotice(*window);
        return text.toStdString();
    };
    EXPECT_EQ(refusal([&] { commands.AddFromLists(); }), "No End Point found.");
    EXPECT_EQ(refusal([&] { commands.DeleteSelected(); }), "Select pair to delete.");
    EXPECT_EQ(refusal([&] { commands.StartOrStop(); }), "No pair to measure. Add a pair first.");
    AddPairs(*window, 2);
    window->Data().table.SetActive({window->Data().table.IdAt(1), window->Data().table.IdAt(2)},
                                   false);
    EXPECT_EQ(refusal([&] { commands.StartOrStop(); }), "No activated pair to measure.");
    window->Data().table.SetActive({window->Data().table.IdAt(1), window->Data().table.IdAt(2)},
                                   true);
    for (const char* duration : {"0", "-5", "abc"}) {
        window->DurationEdit()->setText(duration);
        EXPECT_EQ(refusal([&] { commands.StartOrStop(); }), "Duration must be greater than 0.");
    }
    window->DurationEdit()->setText("259201");
    EXPECT_EQ(refusal([&] { commands.StartOrStop(); }),
              "Duration can be set from 1 to 259,200 sec.");
    window->DurationEdit()->setText("10");
    window->ValueEdit()->setText("5.01");
    EXPECT_EQ(refusal([&] { commands.StartOrStop(); }), "The max value of Window size is 5MByte.");
    window->ValueEdit()->setText("0");
    EXPECT_EQ(refusal([&] { commands.StartOrStop(); }), "Window size must be greater than 0.");
    window->Protocol()->setCurrentIndex(1);
    window->ValueEdit()->setText("0");
    EXPECT_EQ(refusal([&] { commands.StartOrStop(); }), "Throughput must be greater than 0.");
    // More than an EndPoint runs: refused before anything is sent.
    window->ValueEdit()->setText("100001");
    EXPECT_EQ(refusal([&] { commands.StartOrStop(); }),
              "The max value of Throughput is 100,000Mbps.");
    EXPECT_EQ(window->Session().Mode(), ConsoleMode::Idle);

    // EndPoints known, but a list without a selection.
    console::EndPointEntry first;
    first.address = "198.18.0.12";
    console::EndPointEntry second;
    second.address = "198.18.0.13";
    EXPECT_TRUE(window->Data().ApplySearchResult({first, second}).Ok());
    window->EndPoints()->ShowEntries(window->Data().endPoints);
    window->EndPoints()->List(1)->clearSelection();
    EXPECT_EQ(refusal([&] { commands.AddFromLists(); }), "Select End Point 1.");
    window->EndPoints()->List(1)->setCurrentRow(1);
    window->EndPoints()->List(2)->clearSelection();
    EXPECT_EQ(refusal([&] { commands.AddFromLists(); }), "Select End Point 2.");
    window->EndPoints()->List(2)->setCurrentRow(0);
    EXPECT_EQ(refusal([&] { commands.AddFromLists(); }), "");
    ASSERT_EQ(window->Data().table.PairCount(), 3);
    EXPECT_EQ(window->Data().table[3].config.endpoint1, "198.18.0.13");
    EXPECT_EQ(window->Data().table[3].config.endpoint2, "198.18.0.12");

    AddPairs(*window, 13);
    EXPECT_EQ(refusal([&] { commands.AddManually(); }), "The max count of pairs is 16.");
    EXPECT_EQ(refusal([&] { commands.AddFromLists(); }), "The max count of pairs is 16.");
}

// Answers the window's own-address question; nothing else of it is used here.
class AddressOnlyEnvironment : public console::RunEnvironment {
  public:
    void EndLeftoverClients() override {}
    void BroadcastRestart() override { ADD_FAILURE() << "no broadcast expected"; }
    std::optional<std::uint32_t> OwnAddress() override { return address.load(); }
    bool IsThisMachine(const std::string&) override { return false; }
    std::string IperfPath() override { return "iperf"; }
    std::atomic<std::uint32_t> address{0xC612000Bu};  // 198.18.0.11
};

TEST(MainWindowLook, TheOwnAddressIsReadAgainEveryPeriod) {
    AddressOnlyEnvironment environment;
    console::SessionOptions session;
    session.environment = &environment;
    MainWindow::Options options;
    options.introTime = std::chrono::milliseconds(1);
    options.addressRefresh = std::chrono::milliseconds(100);
    SessionWindow window(session, options);
    ShowMain(window);
    EXPECT_EQ(window.Caption()->AddressText(), "198.18.0.11");
    const QImage before = Grab(window).copy(178, 12, 120, 16);
    environment.address = 0x0A000105u;  // 10.0.1.5
    ASSERT_TRUE(WaitFor([&] { return window.Caption()->AddressText() == "10.0.1.5"; }, 2000));
    EXPECT_NE(Grab(window).copy(178, 12, 120, 16), before);
}

TEST(MainWindowLook, TheCaptionShowsTheFileNameRightAlignedAndCut) {
    auto window = MainLookWindow();
    const int w = window->width();
    const QColor fill(224, 224, 224);
    const QRect area(512, 3, w - 90 - 512, 28);
    EXPECT_EQ(InkIn(Grab(*window), area, fill), 0);
    window->Caption()->SetFileName(QStringLiteral("lab.config"));
    QImage image = Grab(*window);
    EXPECT_GT(InkIn(image, QRect(w - 90 - 60, 3, 60, 28), fill), 20);  // right-aligned
    EXPECT_EQ(InkIn(image, QRect(512, 3, 200, 28), fill), 0);
    window->Caption()->SetFileName(QString(300, QChar('x')));
    image = Grab(*window);
    EXPECT_GT(InkIn(image, QRect(512, 3, 40, 28), fill), 20);   // reaches the left end
    EXPECT_EQ(InkIn(image, QRect(w - 90, 3, 8, 28), fill), 0);  // and stops at w - 90
}

// While busy, both arrow keys move the list's selection and both buttons select in it;
// other keys and buttons do not reach it.
TEST(MainWindowCommands, TheInputFilterTreatsBothArrowsAndBothButtonsAlike) {
    auto window = MainLookWindow();
    AddPairs(*window, 2);
    ASSERT_TRUE(window->Session().SetMode(ConsoleMode::Searching));
    auto* filter = window->findChild<console::ui::ModeInputFilter*>();
    ASSERT_NE(filter, nullptr);
    QWidget* list = window->PairList();
    QWidget* viewport = list->findChild<QWidget*>(QStringLiteral("qt_scrollarea_viewport"));
    ASSERT_NE(viewport, nullptr);
    const auto key = [&](QEvent::Type type, int code) {
        QKeyEvent event(type, code, Qt::NoModifier);
        return filter->Passes(list, &event);
    };
    const auto press = [&](Qt::MouseButton button) {
        QMouseEvent event(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), button, button,
                          Qt::NoModifier);
        return filter->Passes(viewport, &event);
    };
    for (int arrow : {Qt::Key_Up, Qt::Key_Down}) {
        EXPECT_TRUE(key(QEvent::KeyPress, arrow)) << arrow;
        EXPECT_TRUE(key(QEvent::KeyRelease, arrow)) << arrow;
    }
    EXPECT_FALSE(key(QEvent::KeyPress, Qt::Key_Left));
    EXPECT_FALSE(key(QEvent::KeyPress, Qt::Key_Delete));
    EXPECT_TRUE(press(Qt::LeftButton));
    EXPECT_TRUE(press(Qt::RightButton));
    EXPECT_FALSE(press(Qt::MiddleButton));
}

TEST(MainWindowCommands, TheInputFilterLetsOnlyTheListAndRunControlsThroughWhileBusy) {
    auto window = MainLookWindow();
    AddPairs(*window, 2);
    ASSERT_TRUE(window->Session().SetMode(ConsoleMode::Searching));
    console::ui::ModeInputFilter* filter = window->findChild<console::ui::ModeInputFilter*>();
    ASSERT_NE(filter, nullptr);
    QMouseEvent leftPress(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, QPointF(5, 5), QPointF(5, 5),
                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QKeyEvent paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
    QWidget* list = window->PairList();
    QWidget* listViewport = list->findChild<QWidget*>(QStringLiteral("qt_scrollarea_viewport"));
    QWidget* listTarget = listViewport ? listViewport : list;
    EXPECT_TRUE(filter->Passes(listTarget, &leftPress));
    EXPECT_TRUE(filter->Passes(list, &up));
    EXPECT_FALSE(filter->Passes(list, &paste));
    EXPECT_FALSE(filter->Passes(listTarget, &doubleClick));
    // Searching: Start/Stop does not react, nor does any other button or edit.
    EXPECT_FALSE(filter->Passes(NamedChild<widgets::SkinButton>(*window, "startStop"), &leftPress));
    EXPECT_FALSE(filter->Passes(window->TotalToggle(), &leftPress));
    EXPECT_FALSE(filter->Passes(window->AddManually(), &leftPress));
    EXPECT_FALSE(filter->Passes(window->DurationEdit(), &paste));
    EXPECT_FALSE(filter->Passes(window->EndPoints()->List(1), &leftPress));
    // The caption (the window's own area) still works.
    EXPECT_TRUE(filter->Passes(window->Caption(), &leftPress));
    // A real click on a button is swallowed.
    int clicks = 0;
    QObject::connect(NamedChild<widgets::SkinButton>(*window, "deletePair"),
                     &QAbstractButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(NamedChild<widgets::SkinButton>(*window, "deletePair"), Qt::LeftButton);
    EXPECT_EQ(clicks, 0);
    EXPECT_FALSE(NoticeShown(*window));
    ASSERT_TRUE(window->Session().SetMode(ConsoleMode::Idle));
    EXPECT_TRUE(filter->Passes(NamedChild<widgets::SkinButton>(*window, "startStop"), &leftPress));
    QTest::mouseClick(NamedChild<widgets::SkinButton>(*window, "deletePair"), Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(NoticeText(*window), "Select pair to delete.");
}

}  // namespace
}  // namespace quarn::gui_test
