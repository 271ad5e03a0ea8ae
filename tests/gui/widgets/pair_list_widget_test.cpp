#include <gtest/gtest.h>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include "console/core/endpoint_entry.h"
#include "console/core/pair_table.h"
#include "console/ui/endpoint_list_box.h"
#include "console/ui/pair_list_widget.h"
#include "gui_dump.h"
#include "listed_pair.h"
#include "widgets/artwork.h"

namespace quarn::console::ui {
namespace {

using testing::ListedPair;

using widgets::testing::GrabAndDump;
using widgets::testing::Near;
using widgets::testing::PictureOver;
using widgets::testing::Shows;

const QColor kEvenRow(0xF7, 0xF7, 0xF7);
const QColor kListWhite(0xFF, 0xFF, 0xFF);
const QColor kSelected(0xED, 0xF3, 0xD8);

// Darkest grey level in an area (text colour of anti-aliased glyphs).
int Darkest(const QImage& image, const QRect& area) {
    int darkest = 255;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            darkest = std::min(darkest, qGray(image.pixel(x, y)));
        }
    }
    return darkest;
}

class PairListWidgetTest : public ::testing::Test {
  protected:
    PairListWidgetTest() : list(table) {
        list.resize(732, PairListWidget::HeightFor(0));
        list.show();  // a hidden widget gets its resize only when shown
    }

    void Add(PairRecord p) {
        table.AppendPair(std::move(p));
        list.Refresh();
        list.resize(732, PairListWidget::HeightFor(table.PairCount()));
    }

    PairTable table;
    PairListWidget list;
};

TEST_F(PairListWidgetTest, ColumnsAndTitles) {
    const char* titles[] = {"Pair 이름", "End Point 1  >  End Point 2",
                            "현재상태",  "측정횟수",
                            "현재속도",  "평균속도",
                            "최소속도",  "최대속도"};
    for (int c = 0; c < 8; ++c) {
        EXPECT_STREQ(PairListModel::kColumnTitles[static_cast<std::size_t>(c)], titles[c]);
    }
    const int widths[] = {58, 193, 46, 57, 91, 91, 91, 732 - 627};
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(list.columnWidth(c), widths[c]) << c;
    }
    list.resize(1500 - 376 - 7, 21);
    QApplication::processEvents();
    EXPECT_EQ(list.columnWidth(7), 1500 - 376 - 7 - 627);
    EXPECT_EQ(PairListWidget::HeightFor(0), 21);
    EXPECT_EQ(PairListWidget::HeightFor(6), 147);
    EXPECT_EQ(PairListWidget::HeightFor(9), 147);

    QImage strip(732, 19, QImage::Format_RGB32);
    {
        QPainter p(&strip);
        PairListWidget::PaintHeaderStrip(p, strip.rect(), 732, list.font());
    }
    EXPECT_EQ(strip.pixelColor(1, 1), QColor(0xE1, 0xE1, 0xE1));
    EXPECT_LT(Darkest(strip, QRect(58 + 193 + 3, 2, 40, 15)), 0xA0);  // "현재상태" drawn
}

// Hovering a row shows its figures: the view asks the row for its tooltip.
TEST_F(PairListWidgetTest, HoveredRowShowsItsFiguresTooltip) {
    PairRecord measured = ListedPair("10.0.0.1", "10.0.0.2");
    measured.figures.quality.rttIdleMs = 0.25;
    measured.figures.quality.rttLoadedMedianMs = 40.0;
    measured.figures.quality.rttLoadedP95Ms = 55.0;
    Add(measured);
    // Measured, but its End Point 2 never answered a probe.
    PairRecord silent = ListedPair("10.0.0.3", "10.0.0.4");
    silent.figures.count = 5;
    Add(silent);
    Add(ListedPair("10.0.0.5", "10.0.0.6"));  // never run: nothing to say
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    const auto tipAt = [&](QPoint at) -> QWidget* {
        QHelpEvent help(QEvent::ToolTip, at, list.viewport()->mapToGlobal(at));
        QApplication::sendEvent(list.viewport(), &help);
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->inherits("QTipLabel") && top->isVisible()) {
                return top;
            }
        }
        return nullptr;
    };
    QWidget* tip = tipAt(QPoint(300, 10));
    ASSERT_NE(tip, nullptr);
    GrabAndDump(*tip, "pair_tooltip");
    EXPECT_EQ(tip->property("text").toString(),
              QString::fromUtf8("RTT idle: 0.25 ms\nRTT load: 40.00 ms median, 55.00 ms 95th "
                                "percentile\nRTT increase: +39.75 ms"));
    tip = tipAt(QPoint(100, 21 + 10));
    ASSERT_NE(tip, nullptr);
    EXPECT_TRUE(tip->property("text").toString().startsWith(QString::fromUtf8("RTT idle: \u2013")));
    QToolTip::hideText();
    EXPECT_TRUE(list.model()->index(2, 0).data(Qt::ToolTipRole).toString().isEmpty());
}

// A pair's traffic options head its tooltip, measured or not; a pair without options says
// nothing of them.
TEST_F(PairListWidgetTest, TooltipNamesThePairsTrafficOptions) {
    PairRecord marked = ListedPair("10.0.0.1", "10.0.0.2");
    marked.config.traffic = {46, 200, std::nullopt};
    Add(marked);
    PairRecord measured = ListedPair("10.0.0.3", "10.0.0.4");
    measured.config.traffic.mss = 1000;
    measured.figures.quality.rttIdleMs = 0.25;
    Add(measured);
    Add(ListedPair("10.0.0.5", "10.0.0.6"));
    const auto tip = [&](int row) {
        return list.model()->index(row, 0).data(Qt::ToolTipRole).toString();
    };
    EXPECT_EQ(tip(0), QStringLiteral("Traffic: DSCP EF, length 200 bytes"));
    EXPECT_TRUE(tip(1).startsWith(QStringLiteral("Traffic: MSS 1000 bytes\nRTT idle: 0.25 ms")))
        << tip(1).toStdString();
    EXPECT_TRUE(tip(2).isEmpty());
}

TEST_F(PairListWidgetTest, RowsMarkersBadgesAndTextColours) {
    Add(ListedPair("10.0.0.1", "10.0.0.2", 4));
    Add(ListedPair("10.0.0.3", "10.0.0.4", 4, /*active=*/0));
    Add(ListedPair("10.0.0.5", "10.0.0.6", 3));
    QImage image = GrabAndDump(list, "pair_list");
    EXPECT_EQ(image.pixelColor(300, 2), kEvenRow);
    EXPECT_EQ(image.pixelColor(300, 23), kListWhite);
    EXPECT_EQ(image.pixelColor(300, 44), kEvenRow);
    EXPECT_EQ(image.pixelColor(300, 65), kListWhite);  // the stripe below the rows
    // Small markers of pairs 1 and 2.
    EXPECT_EQ(image.pixelColor(7, 9), QColor(0x57, 0x81, 0x01));
    EXPECT_EQ(image.pixelColor(7, 21 + 9), QColor(0xAF, 0xB7, 0x4C));
    EXPECT_EQ(image.pixelColor(4, 6), kEvenRow);  // the larger marker is not shown
    // Badges: pair 1 (4 streams), none for the inactive pair 2.
    EXPECT_TRUE(Near(image.pixelColor(45, 11), QColor(0x9A, 0xB1, 0x4B), 2));
    EXPECT_EQ(image.pixelColor(45, 21 + 11), kListWhite);
    EXPECT_TRUE(Near(image.pixelColor(45, 42 + 11), QColor(0x9A, 0xB1, 0x4B), 2));
    // Text: #7B7B7B for active pairs, #D0D0D0 for the inactive one.
    const QRect status(58 + 193, 5, 46, 14);
    EXPECT_NEAR(Darkest(image, status), 0x7B, 25);
    EXPECT_NEAR(Darkest(image, status.translated(0, 21)), 0xD0, 25);
    EXPECT_NEAR(Darkest(image, QRect(627 + 20, 5, 80, 14)), 0x7B, 25);  // max column

    // UDP: no badges.
    list.SetProtocolIsTcp(false);
    image = GrabAndDump(list, "pair_list_udp");
    EXPECT_EQ(image.pixelColor(45, 11), kEvenRow);
}

// Each badge names its own pair's stream count; from pair 10 on it moves right, past the
// marker's two-digit number.
TEST_F(PairListWidgetTest, EachBadgeShowsItsOwnStreamCount) {
    for (int n = 1; n <= 11; ++n) {
        Add(ListedPair("10.0.0.1", "10.0.0.2", n + 1));  // pair n runs n + 1 streams
    }
    list.resize(732, 21 * 12);
    const QImage image = GrabAndDump(list, "pair_list_badges");
    for (int n = 1; n <= 11; ++n) {
        const int top = 21 * (n - 1);
        const QColor background = n % 2 == 1 ? kEvenRow : kListWhite;
        const QPoint at(n < 10 ? 44 : 49, top + 7);
        EXPECT_TRUE(Shows(image, at, PictureOver(widgets::BadgePath(n + 1), background))) << n;
    }
    // Neighbouring counts look different, so a badge for the wrong count cannot pass.
    EXPECT_NE(PictureOver(widgets::BadgePath(3), kListWhite),
              PictureOver(widgets::BadgePath(4), kListWhite));
}

// Columns of ink (darker than the stripes) in x0..x1 of one row.
std::vector<int> InkColumns(const QImage& image, int x0, int x1, int top) {
    std::vector<int> columns;
    for (int x = std::max(x0, 0); x <= std::min(x1, image.width() - 1); ++x) {
        if (Darkest(image, QRect(x, top + 3, 1, 15)) < 0xC0) {
            columns.push_back(x);
        }
    }
    return columns;
}

// The largest rate a pair may report (1 Tbit/s) and a count of a day and more: each
// figure is drawn whole inside its own column, with no ink across a column's edge.
TEST_F(PairListWidgetTest, LargestAcceptedFiguresFitTheirColumns) {
    PairRecord p = ListedPair("10.0.0.1", "10.0.0.2");
    p.figures.countText = "999999";
    p.figures.currentText = p.figures.averageText = p.figures.minText = p.figures.maxText =
        "1000000.00";
    Add(p);
    const QImage image = GrabAndDump(list, "pair_list_largest");
    const QFontMetrics metrics(list.font());
    for (int c = PairListModel::CountColumn; c <= PairListModel::MaxColumn; ++c) {
        const int left = list.header()->sectionViewportPosition(c);
        const int right = left + list.columnWidth(c) - 1;
        const std::vector<int> ink = InkColumns(image, left, right, 0);
        ASSERT_FALSE(ink.empty()) << c;
        const QString text = c == PairListModel::CountColumn ? QStringLiteral("999999")
                                                             : QStringLiteral("1000000.00");
        EXPECT_GE(ink.back() - ink.front() + 3, metrics.horizontalAdvance(text)) << c;
        // A right-aligned rate leaves the column's left edge clear (the count column's
        // edge is where the centred status text ends).
        if (c != PairListModel::CountColumn) {
            EXPECT_TRUE(InkColumns(image, left - 2, left + 1, 0).empty()) << c;
        }
    }
}

TEST_F(PairListWidgetTest, SelectionHighlightsAndReportsOnce) {
    for (int i = 0; i < 3; ++i) {
        Add(ListedPair("10.0.0.1", "10.0.0.2"));
    }
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    const PairId first = table.IdAt(1), second = table.IdAt(2), third = table.IdAt(3);
    const auto reported = [](QSignalSpy& spy) { return spy.takeFirst().at(0).value<PairId>(); };
    QSignalSpy highlight(&list, &PairListWidget::highlightChanged);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(300, 2 * 21 + 10));
    ASSERT_EQ(highlight.count(), 1);
    EXPECT_EQ(reported(highlight), third);
    EXPECT_EQ(list.MarkedPair(), third);
    EXPECT_EQ(list.SelectedPairs(), std::vector<PairId>{third});
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(300, 2 * 21 + 10));
    EXPECT_EQ(highlight.count(), 0);

    const QImage image = GrabAndDump(list, "pair_list_selected");
    EXPECT_EQ(image.pixelColor(300, 2 * 21 + 2), kSelected);
    // Pair 3's 8 x 8 marker (rim, then its colour inside).
    EXPECT_EQ(image.pixelColor(4, 2 * 21 + 6).name(), QColor(0xFF, 0xE2, 0x00).darker(125).name());
    EXPECT_EQ(image.pixelColor(7, 2 * 21 + 9), QColor(0xFF, 0xE2, 0x00));
    EXPECT_EQ(image.pixelColor(300, 2), kEvenRow);

    // Ctrl adds a second row. What the owner sets as highlighted is not reported again.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, QPoint(300, 10));
    EXPECT_EQ(list.SelectedPairs(), (std::vector<PairId>{first, third}));
    ASSERT_EQ(highlight.count(), 1);
    EXPECT_EQ(reported(highlight), first);
    list.SetHighlighted(second);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(300, 21 + 10));
    EXPECT_EQ(highlight.count(), 0);
    EXPECT_EQ(list.MarkedPair(), second);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(300, 2 * 21 + 10));
    ASSERT_EQ(highlight.count(), 1);
    EXPECT_EQ(reported(highlight), third);

    // An appended pair keeps the selection; a removed one clears it.
    Add(ListedPair("10.0.0.7", "10.0.0.8"));
    EXPECT_EQ(list.SelectedPairs(), std::vector<PairId>{third});
    EXPECT_EQ(list.MarkedPair(), third);
    table.RemovePair(first);
    list.Refresh();
    EXPECT_TRUE(list.SelectedPairs().empty());
    EXPECT_FALSE(list.MarkedPair().Valid());
    EXPECT_EQ(list.model()->rowCount(), 3);
}

TEST_F(PairListWidgetTest, SixRowsFitAndTheSeventhScrolls) {
    for (int i = 0; i < 6; ++i) {
        Add(ListedPair("10.0.0.1", "10.0.0.2"));
    }
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    EXPECT_EQ(list.height(), 147);
    EXPECT_EQ(list.verticalScrollBar()->maximum(), 0);
    Add(ListedPair("10.0.0.1", "10.0.0.2"));
    QApplication::processEvents();
    EXPECT_EQ(list.height(), 147);
    EXPECT_GT(list.verticalScrollBar()->maximum(), 0);
    EXPECT_TRUE(list.verticalScrollBar()->isVisible());
    GrabAndDump(list, "pair_list_seven");
}

TEST_F(PairListWidgetTest, DoubleAndRightClicks) {
    Add(ListedPair("10.0.0.1", "10.0.0.2"));
    Add(ListedPair("10.0.0.3", "10.0.0.4"));
    list.resize(732, 147);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QSignalSpy doubled(&list, &PairListWidget::pairDoubleClicked);
    QSignalSpy menu(&list, &PairListWidget::contextMenuRequested);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, QPoint(100, 21 + 8));
    ASSERT_EQ(doubled.count(), 1);
    EXPECT_EQ(doubled.takeFirst().at(0).value<PairId>(), table.IdAt(2));
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, QPoint(100, 100));  // below the rows
    EXPECT_EQ(doubled.count(), 0);

    auto rightClick = [&](QPoint at) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, list.viewport()->mapToGlobal(at));
        QApplication::sendEvent(list.viewport(), &event);
    };
    rightClick(QPoint(100, 8));
    EXPECT_EQ(list.ContextPair(), table.IdAt(1));
    ASSERT_EQ(menu.count(), 1);
    EXPECT_EQ(menu.takeFirst().at(0).value<PairId>(), table.IdAt(1));
    rightClick(QPoint(100, 100));
    EXPECT_FALSE(list.ContextPair().Valid());
    EXPECT_EQ(menu.count(), 0);
}

TEST_F(PairListWidgetTest, NamesReplaceAddressesPerRow) {
    PairRecord named = ListedPair("10.0.0.1", "10.0.0.2");
    named.config.showAddress = 0;
    Add(named);
    list.SetNameLookup([](const std::string& address) {
        return address == "10.0.0.1" ? std::string("서버실-노트북") : std::string();
    });
    const QModelIndex cell = list.model()->index(0, 1);
    EXPECT_TRUE(cell.isValid());
    const QImage image = GrabAndDump(list, "pair_list_names");
    EXPECT_NEAR(Darkest(image, QRect(58 + 7, 5, 80, 14)), 0x7B, 25);
    EXPECT_NEAR(Darkest(image, QRect(58 + 105, 5, 80, 14)), 0x7B, 25);
}

EndPointEntry Entry(const char* address, const char* name) {
    EndPointEntry e;
    e.address = address;
    e.name = name;
    return e;
}

TEST(EndPointListBox, EmptyDrawsNoItemAndEntriesAreStriped) {
    EndPointListBox box;
    box.resize(182, 231);
    EXPECT_FALSE(box.EndPointsKnown());
    EXPECT_EQ(box.count(), 1);
    EXPECT_EQ(box.item(0)->text(), QStringLiteral("empty"));
    QImage image = GrabAndDump(box, "endpoint_list_empty");
    EXPECT_EQ(image.pixelColor(10, 10), kListWhite);
    EXPECT_EQ(image.pixelColor(10, 30), kEvenRow);
    EXPECT_EQ(Darkest(image, QRect(0, 0, 182, 21)), 255);  // "empty" not drawn
    EXPECT_FALSE(box.SelectedAddress().has_value());

    box.SetEntries({Entry("192.168.10.21", "lab-pc"), Entry("192.168.10.22", ""),
                    Entry("192.168.10.23", "아주 긴 이름을 가진 측정용 컴퓨터")});
    EXPECT_TRUE(box.EndPointsKnown());
    EXPECT_EQ(box.SelectedAddress(), std::optional<std::string>("192.168.10.21"));
    image = GrabAndDump(box, "endpoint_list");
    EXPECT_EQ(image.pixelColor(178, 2), kSelected);
    EXPECT_EQ(image.pixelColor(178, 23), kEvenRow);
    EXPECT_EQ(image.pixelColor(178, 44), kListWhite);
    EXPECT_EQ(image.pixelColor(178, 65), kEvenRow);        // background stripe below the items
    EXPECT_LT(Darkest(image, QRect(5, 5, 40, 14)), 0x40);  // address in black
    // The name of the first entry in grey after the address.
    const int nameLeft = 8 + QFontMetrics(box.font()).horizontalAdvance("192.168.10.21");
    EXPECT_NEAR(Darkest(image, QRect(nameLeft, 2, 40, 17)), 0x7B, 25);
    // The long name is cut and closed at the right edge.
    const int close = Darkest(image, QRect(182 - 6, 42 + 5, 6, 14));  // a thin grey ")"
    EXPECT_LT(close, 0xC8);
    EXPECT_GT(close, 0x60);

    box.SetEntries({});
    EXPECT_FALSE(box.EndPointsKnown());
    EXPECT_EQ(box.item(0)->text(), QStringLiteral("empty"));
}

// A keyed search's replies without the lab key's signature say so beside their name.
TEST(EndPointListBox, UnverifiedEntriesSaySo) {
    EndPointListBox box;
    box.resize(182, 80);
    EndPointEntry named = Entry("192.168.10.21", "lab-pc");
    named.unverified = true;
    EndPointEntry unnamed = Entry("192.168.10.22", "");
    unnamed.unverified = true;
    box.SetEntries({named, unnamed, Entry("192.168.10.23", "signed")});
    EXPECT_EQ(box.Label(0), QStringLiteral("(lab-pc, unverified"));
    EXPECT_EQ(box.Label(1), QStringLiteral("(unverified"));
    EXPECT_EQ(box.Label(2), QStringLiteral("(signed"));
    const QImage image = GrabAndDump(box, "endpoint_list_unverified");
    const int nameLeft = 8 + QFontMetrics(box.font()).horizontalAdvance("192.168.10.22");
    EXPECT_LT(Darkest(image, QRect(nameLeft, 23, 40, 17)), 0xC8);  // drawn for the unnamed one
}

// What an EndPoint said of its link goes in its tooltip; a wireless one says so in the row.
TEST(EndPointListBox, LinkFactsInTheTooltipAndWirelessInTheRow) {
    EndPointListBox box;
    box.resize(182, 80);
    EndPointEntry wired = Entry("192.168.10.21", "lab-pc");
    wired.link = LinkFacts{"eth0", 10000, true, 1500, false, {}};
    EndPointEntry radio = Entry("192.168.10.22", "");
    radio.link = LinkFacts{"wlan0", std::nullopt, std::nullopt, 1500, true, {}};
    box.SetEntries({wired, radio, Entry("192.168.10.23", "older")});
    EXPECT_EQ(box.LinkText(0), QStringLiteral("eth0, 10000 Mbit/s full duplex, MTU 1500"));
    EXPECT_EQ(box.Label(0), QStringLiteral("(lab-pc"));
    EXPECT_EQ(box.LinkText(1), QStringLiteral("wlan0, MTU 1500, wireless"));
    EXPECT_EQ(box.Label(1), QStringLiteral("(wireless"));
    EXPECT_TRUE(box.LinkText(2).isEmpty());  // an older EndPoint says nothing
    EXPECT_TRUE(box.LinkText(7).isEmpty());

    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    const QPoint inFirst = box.visualItemRect(box.item(0)).center();
    QHelpEvent help(QEvent::ToolTip, inFirst, box.viewport()->mapToGlobal(inFirst));
    QApplication::sendEvent(box.viewport(), &help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(),
              QStringLiteral("(lab-pc)\neth0, 10000 Mbit/s full duplex, MTU 1500"));
    QToolTip::hideText();
}

}  // namespace
}  // namespace quarn::console::ui
