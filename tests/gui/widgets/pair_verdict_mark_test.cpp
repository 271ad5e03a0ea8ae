#include <gtest/gtest.h>

#include "console/core/console_data.h"
#include "console/ui/pair_list_model.h"
#include "console/ui/pair_list_widget.h"
#include "gui_dump.h"
#include "listed_pair.h"

namespace quarn::console::ui {
namespace {

using testing::ListedPair;
using widgets::testing::GrabAndDump;

// Three pairs judged against 900 Mbit/s: one passes, one fails, one cannot be judged.
class PairVerdictMarkTest : public ::testing::Test {
  protected:
    PairVerdictMarkTest() : list(data.table) {
        for (const char* end2 : {"10.0.0.2", "10.0.0.3", "10.0.0.4"}) {
            PairRecord pair = ListedPair("10.0.0.1", end2);
            pair.figures.statusText = "Done";
            pair.figures.count = 12;
            data.table.AppendPair(std::move(pair));
        }
        data.table[1].figures.average = 938.55f;
        data.table[2].figures.average = 212.34f;
        data.table[3].figures.count = 0;  // never counted a second
        data.table[3].figures.statusText = "Stopped";
        data.settings.passLines.minThroughput = ThroughputLine{900.0, false};
        data.judgement = JudgeRun(data, BaselineAverages{});
        list.Model()->SetJudgement(
            [this](const PairRecord& pair) { return RowJudgementOf(data, pair); });
        list.Refresh();
        list.resize(732, PairListWidget::HeightFor(3));
        list.show();
    }

    QVariant At(int row, int role) const {
        return list.Model()->index(row, PairListModel::StatusColumn).data(role);
    }

    ConsoleData data;
    PairListWidget list;
};

TEST_F(PairVerdictMarkTest, EachRowCarriesItsVerdictAndItsReasons) {
    EXPECT_EQ(At(0, PairListModel::VerdictRole).toInt(), PairListModel::PassMark);
    EXPECT_EQ(At(1, PairListModel::VerdictRole).toInt(), PairListModel::FailMark);
    EXPECT_EQ(At(2, PairListModel::VerdictRole).toInt(), PairListModel::UncheckedMark);
    const QString tip = At(1, Qt::ToolTipRole).toString();
    EXPECT_TRUE(tip.contains(QStringLiteral(
        "Verdict: FAIL\naverage 212.34 Mbit/s is below the pass line 900.00 Mbit/s")))
        << tip.toStdString();
    EXPECT_TRUE(At(2, Qt::ToolTipRole).toString().contains(QStringLiteral("Verdict: UNCHECKED")));

    // Without lines there is nothing to mark.
    data.settings.passLines = {};
    list.Refresh();
    EXPECT_EQ(At(1, PairListModel::VerdictRole).toInt(), PairListModel::NoMark);
    EXPECT_FALSE(At(1, Qt::ToolTipRole).toString().contains(QStringLiteral("Verdict")));
}

TEST_F(PairVerdictMarkTest, TheTooltipNamesEachEndsLinkBeforeAndAfterARun) {
    data.links["10.0.0.1"] = LinkFacts{"eth0", 10000, true, 1500, false, {}};
    data.links["10.0.0.3"] = LinkFacts{"wlan0", 300, false, 1500, true, {}};
    data.judgement.reset();  // a table not yet run still shows what the search learnt
    const QString before = At(1, Qt::ToolTipRole).toString();
    EXPECT_TRUE(before.contains(
        QStringLiteral("End Point 1 link: eth0, 10000 Mbit/s full duplex, MTU 1500\n"
                       "End Point 2 link: wlan0, 300 Mbit/s half duplex, MTU 1500, wireless")))
        << before.toStdString();
    EXPECT_FALSE(before.contains(QStringLiteral("Verdict")));

    data.judgement = JudgeRun(data, BaselineAverages{});
    const QString after = At(1, Qt::ToolTipRole).toString();
    EXPECT_TRUE(after.contains(QStringLiteral("wireless\nVerdict: FAIL"))) << after.toStdString();
    EXPECT_TRUE(after.contains(QStringLiteral("Note: "))) << after.toStdString();
    // The pair to 10.0.0.2 knows only its first end's link.
    const QString partial = At(0, Qt::ToolTipRole).toString();
    EXPECT_TRUE(partial.contains(QStringLiteral("End Point 1 link: eth0")));
    EXPECT_FALSE(partial.contains(QStringLiteral("End Point 2 link")));
}

TEST_F(PairVerdictMarkTest, MarksAreDrawnRightAfterTheState) {
    const QImage image = GrabAndDump(list, "pair_list_verdicts");
    const auto markCentre = [&](int row) {
        const QRect cell = list.visualRect(list.Model()->index(row, PairListModel::CountColumn));
        return QPoint(cell.left() + 2 + 3, cell.center().y());
    };
    const QColor pass = image.pixelColor(markCentre(0));
    const QColor fail = image.pixelColor(markCentre(1));
    const QColor unchecked = image.pixelColor(markCentre(2));
    EXPECT_GT(pass.green(), pass.red() + 40) << pass.name().toStdString();
    EXPECT_GT(fail.red(), fail.green() + 80) << fail.name().toStdString();
    // A ring: its middle is the row's own background.
    EXPECT_EQ(unchecked, image.pixelColor(markCentre(2) + QPoint(8, 0)))
        << unchecked.name().toStdString();
}

}  // namespace
}  // namespace quarn::console::ui
