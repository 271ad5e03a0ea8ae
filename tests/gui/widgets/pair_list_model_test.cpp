#include <gtest/gtest.h>
#include <QSignalSpy>

#include "console/core/pair_table.h"
#include "console/ui/pair_list_model.h"
#include "listed_pair.h"

namespace quarn::console::ui {
namespace {

using testing::ListedPair;

class PairListModelTest : public ::testing::Test {
  protected:
    PairListModelTest() : model(table) {}

    void Add(PairRecord p) {
        table.AppendPair(std::move(p));
        model.Sync();
    }
    QVariant At(int row, int column, int role = Qt::DisplayRole) const {
        return model.index(row, column).data(role);
    }

    PairTable table;
    PairListModel model;
};

TEST_F(PairListModelTest, ColumnsShowTheRowsFigures) {
    Add(ListedPair("10.0.0.1", "10.0.0.2"));
    ASSERT_EQ(model.rowCount(), 1);
    ASSERT_EQ(model.columnCount(), 8);
    const char* texts[] = {
        "Pair1", "10.0.0.1 > 10.0.0.2", "Running", "12", "941.20", "938.55", "901.00", "950.10"};
    for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(At(0, c).toString(), QString::fromUtf8(texts[c])) << c;
    }
    EXPECT_EQ(model.headerData(PairListModel::StatusColumn, Qt::Horizontal, Qt::DisplayRole),
              QStringLiteral("현재상태"));
    EXPECT_EQ(model.headerData(PairListModel::MaxColumn, Qt::Horizontal, Qt::DisplayRole),
              QStringLiteral("최대속도"));
    EXPECT_FALSE(model.headerData(8, Qt::Horizontal, Qt::DisplayRole).isValid());
    // The All row is never a list row.
    EXPECT_FALSE(At(1, 0).isValid());
    EXPECT_EQ(At(0, 0, PairListModel::PairNumberRole).toInt(), 1);
}

TEST_F(PairListModelTest, BadgeOnlyForActiveTcpPairsWithParallelStreams) {
    Add(ListedPair("10.0.0.1", "10.0.0.2", 4));
    Add(ListedPair("10.0.0.3", "10.0.0.4", 4, /*active=*/false));
    Add(ListedPair("10.0.0.5", "10.0.0.6", 1));
    Add(ListedPair("10.0.0.7", "10.0.0.8", 40));
    const int badge = PairListModel::BadgeRole;
    EXPECT_EQ(At(0, 0, badge).toInt(), 4);
    EXPECT_EQ(At(1, 0, badge).toInt(), 0);
    EXPECT_EQ(At(2, 0, badge).toInt(), 0);
    EXPECT_EQ(At(3, 0, badge).toInt(), 16);  // there are badges up to 16 only
    EXPECT_TRUE(At(0, 0, PairListModel::ActiveRole).toBool());
    EXPECT_FALSE(At(1, 0, PairListModel::ActiveRole).toBool());

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.SetProtocolIsTcp(false);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(At(0, 0, badge).toInt(), 0);
    model.SetProtocolIsTcp(false);  // no change, no repaint
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(PairListModelTest, NamesReplaceAddressesOnlyWhereTheRowShowsNames) {
    PairRecord named = ListedPair("10.0.0.1", "10.0.0.2");
    named.config.showAddress = false;
    Add(named);
    Add(ListedPair("10.0.0.1", "10.0.0.2"));
    model.SetNameLookup([](const std::string& address) {
        return address == "10.0.0.1" ? std::string("서버실-노트북") : std::string();
    });
    EXPECT_EQ(At(0, 1, PairListModel::FirstEndPointRole).toString(),
              QStringLiteral("서버실-노트북"));
    // No name known: the address.
    EXPECT_EQ(At(0, 1, PairListModel::SecondEndPointRole).toString(), QStringLiteral("10.0.0.2"));
    EXPECT_EQ(At(0, 1).toString(), QStringLiteral("서버실-노트북 > 10.0.0.2"));
    EXPECT_EQ(At(1, 1, PairListModel::FirstEndPointRole).toString(), QStringLiteral("10.0.0.1"));
}

TEST_F(PairListModelTest, SyncGrowsOrStartsAgainAndKeysFollowTheRows) {
    EXPECT_EQ(model.Sync(), PairListModel::Change::None);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    Add(ListedPair("10.0.0.1", "10.0.0.2"));
    Add(ListedPair("10.0.0.3", "10.0.0.4"));
    EXPECT_EQ(inserted.count(), 2);
    const PairId second = model.IdOfRow(1);
    EXPECT_TRUE(second.Valid());
    EXPECT_NE(model.IdOfRow(0), second);
    EXPECT_EQ(second.Value(), At(1, 0, PairListModel::PairIdRole).toULongLong());
    EXPECT_EQ(model.RowOfId(second), 1);
    EXPECT_EQ(model.IdOfRow(2), PairId());
    EXPECT_EQ(model.RowOfId(PairId()), -1);

    table[2].figures.statusText = "Done";
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    EXPECT_EQ(model.Sync(), PairListModel::Change::None);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(At(1, 2).toString(), QStringLiteral("Done"));

    const PairId first = model.IdOfRow(0);
    table.RemovePair(table.IdAt(1));
    EXPECT_EQ(model.Sync(), PairListModel::Change::Reset);
    EXPECT_EQ(reset.count(), 1);
    EXPECT_EQ(model.rowCount(), 1);
    // The second pair moved up a row and is still known by its key; the first is gone.
    EXPECT_EQ(model.RowOfId(second), 0);
    EXPECT_EQ(model.IdOfRow(0), second);
    EXPECT_EQ(model.RowOfId(first), -1);
}

}  // namespace
}  // namespace quarn::console::ui
