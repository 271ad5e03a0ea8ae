#pragma once

#include <QAbstractTableModel>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "console/core/console_data.h"
#include "console/core/pair_id.h"

namespace quarn::console {
class PairTable;
struct PairRecord;
}  // namespace quarn::console

namespace quarn::console::ui {

// The pairs of the table as list rows (row i is table row i + 1; the All row is never
// a row), with one column per figure and roles for what the row's painter needs.
class PairListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column {
        NameColumn,
        EndPointsColumn,
        StatusColumn,
        CountColumn,
        CurrentColumn,
        AverageColumn,
        MinColumn,
        MaxColumn,
        ColumnCount
    };
    enum Role {
        PairIdRole = Qt::UserRole + 1,  // PairId's value (qulonglong)
        PairNumberRole,                 // n of "Pair<n>" and of its marker
        ActiveRole,                     // bool
        BadgeRole,                      // parallel streams shown as a badge, 0 for none
        FirstEndPointRole,              // End Point 1 as shown: its name or its address
        SecondEndPointRole,             // End Point 2 as shown
        VerdictRole,                    // int of VerdictMark: the row's verdict mark
    };
    enum VerdictMark { NoMark = 0, PassMark, FailMark, UncheckedMark };

    // What the last run's judgement says of a row: its mark (none without pass lines) and
    // the lines its tooltip adds.
    struct RowJudgement {
        VerdictMark mark = NoMark;
        std::vector<std::string> lines;
    };

    // "Pair 이름", "End Point 1  >  End Point 2", "현재상태", ... "최대속도".
    static const std::array<const char*, ColumnCount> kColumnTitles;

    explicit PairListModel(const PairTable& table, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Parallel-stream badges show only under TCP.
    void SetProtocolIsTcp(bool tcp);
    // Name shown for an address while a row shows names (empty: the address is shown).
    void SetNameLookup(std::function<std::string(const std::string&)> lookup);
    // Lines that end every pair's tooltip (a comparison's figures); none when unset.
    void SetMoreTooltip(std::function<std::vector<std::string>(const PairRecord&)> more);
    // The rows' verdicts; none when unset.
    void SetJudgement(std::function<RowJudgement(const PairRecord&)> judgement);

    enum class Change { None, Grew, Reset };
    // Follows the table: rows appended keep the selection, any other change of shape
    // starts the view again; the same shape only changes the texts.
    Change Sync();

    // The only places that turn a list row into a pair's id and back.
    PairId IdOfRow(int row) const;
    int RowOfId(PairId pair) const;  // -1 when the pair is not listed

  private:
    const PairRecord* RecordAt(int row) const;
    QString ColumnText(const PairRecord& p, int column) const;
    QVariant Tooltip(const PairRecord& p) const;
    QString EndPointText(const std::string& address, bool showAddress) const;
    void AllRowsChanged();

    const PairTable& table_;
    std::function<std::string(const std::string&)> lookup_;
    std::function<std::vector<std::string>(const PairRecord&)> moreTooltip_;
    std::function<RowJudgement(const PairRecord&)> judgement_;
    bool tcp_ = true;
    int rows_ = 0;
};

// A row's judgement as the last run left it in `data`: a mark only where lines were set.
PairListModel::RowJudgement RowJudgementOf(const ConsoleData& data, const PairRecord& pair);

}  // namespace quarn::console::ui
