#include "console/ui/pair_list_model.h"

#include <QStringList>
#include <algorithm>
#include <string>
#include <vector>

#include "console/core/pair_notes.h"
#include "console/core/pair_table.h"
#include "console/ui/pair_tooltip.h"

namespace quarn::console::ui {

namespace {

constexpr int kMaxBadge = 16;

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

}  // namespace

const std::array<const char*, PairListModel::ColumnCount> PairListModel::kColumnTitles = {
    "Pair 이름", "End Point 1  >  End Point 2",
    "현재상태",  "측정횟수",
    "현재속도",  "평균속도",
    "최소속도",  "최대속도"};

PairListModel::PairListModel(const PairTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {}

int PairListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int PairListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

const PairRecord* PairListModel::RecordAt(int row) const {
    return row >= 0 && row < rows_ && table_.IsPairRow(row + 1) ? &table_[row + 1] : nullptr;
}

QVariant PairListModel::data(const QModelIndex& index, int role) const {
    const PairRecord* p = index.isValid() ? RecordAt(index.row()) : nullptr;
    if (p == nullptr) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return ColumnText(*p, index.column());
        case Qt::ToolTipRole:
            return Tooltip(*p);
        case PairIdRole:
            return QVariant::fromValue<qulonglong>(p->id.Value());
        case PairNumberRole:
            return index.row() + 1;
        case ActiveRole:
            return p->config.active;
        case BadgeRole:
            return tcp_ && p->config.parallel >= 2 && p->config.active
                       ? std::min(p->config.parallel, kMaxBadge)
                       : 0;
        case FirstEndPointRole:
            return EndPointText(p->config.endpoint1, p->config.showAddress);
        case SecondEndPointRole:
            return EndPointText(p->config.endpoint2, p->config.showAddress);
        case VerdictRole:
            return judgement_ ? static_cast<int>(judgement_(*p).mark) : static_cast<int>(NoMark);
        default:
            return {};
    }
}

// The measured-with note and the last run's failure first, then the quality figures of a
// pair that was measured (a row of dashes for a pair never run says nothing).
QVariant PairListModel::Tooltip(const PairRecord& p) const {
    std::vector<std::string> lines = PairNoteLines(p, !tcp_);
    if (!p.config.traffic.Empty())
        lines.push_back("Traffic: " + DescribeTraffic(p.config.traffic));
    const PairQuality& q = p.figures.quality;
    const bool measured = p.figures.count > 0 || q.lossPercent || q.rttIdleMs || q.lastRttMs;
    if (const std::string figures = PairTooltipText(p); measured && !figures.empty()) {
        lines.push_back(figures);
    }
    if (judgement_) {
        for (std::string& line : judgement_(p).lines)
            lines.push_back(std::move(line));
    }
    if (moreTooltip_) {
        for (std::string& line : moreTooltip_(p)) {
            lines.push_back(std::move(line));
        }
    }
    if (lines.empty()) {
        return {};
    }
    QStringList texts;
    for (const std::string& line : lines) {
        texts << Text(line);
    }
    return texts.join(QLatin1Char('\n'));
}

QString PairListModel::ColumnText(const PairRecord& p, int column) const {
    switch (column) {
        case NameColumn:
            return Text(p.name);
        case EndPointsColumn:
            return EndPointText(p.config.endpoint1, p.config.showAddress) + QStringLiteral(" > ") +
                   EndPointText(p.config.endpoint2, p.config.showAddress);
        case StatusColumn:
            return Text(p.figures.statusText);
        case CountColumn:
            return Text(p.figures.countText);
        case CurrentColumn:
            return Text(p.figures.currentText);
        case AverageColumn:
            return Text(p.figures.averageText);
        case MinColumn:
            return Text(p.figures.minText);
        default:
            return Text(p.figures.maxText);
    }
}

QVariant PairListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < ColumnCount) {
        return QString::fromUtf8(kColumnTitles[static_cast<std::size_t>(section)]);
    }
    return {};
}

QString PairListModel::EndPointText(const std::string& address, bool showAddress) const {
    if (!showAddress && lookup_) {
        const std::string name = lookup_(address);
        if (!name.empty()) {
            return Text(name);
        }
    }
    return Text(address);
}

void PairListModel::SetProtocolIsTcp(bool tcp) {
    if (tcp_ != tcp) {
        tcp_ = tcp;
        AllRowsChanged();
    }
}

void PairListModel::SetNameLookup(std::function<std::string(const std::string&)> lookup) {
    lookup_ = std::move(lookup);
    AllRowsChanged();
}

void PairListModel::SetMoreTooltip(
    std::function<std::vector<std::string>(const PairRecord&)> more) {
    moreTooltip_ = std::move(more);
}

void PairListModel::SetJudgement(std::function<RowJudgement(const PairRecord&)> judgement) {
    judgement_ = std::move(judgement);
    AllRowsChanged();
}

void PairListModel::AllRowsChanged() {
    if (rows_ > 0) {
        emit dataChanged(index(0, 0), index(rows_ - 1, ColumnCount - 1));
    }
}

PairListModel::Change PairListModel::Sync() {
    const int now = table_.PairCount();
    if (now == rows_) {
        AllRowsChanged();
        return Change::None;
    }
    if (now > rows_) {
        beginInsertRows({}, rows_, now - 1);
        rows_ = now;
        endInsertRows();
        return Change::Grew;
    }
    beginResetModel();
    rows_ = now;
    endResetModel();
    return Change::Reset;
}

PairId PairListModel::IdOfRow(int row) const {
    const PairRecord* record = RecordAt(row);
    return record != nullptr ? record->id : PairId();
}

int PairListModel::RowOfId(PairId pair) const {
    const int row = pair.Valid() ? table_.RowOf(pair) - 1 : -1;
    return row >= 0 && row < rows_ ? row : -1;
}

PairListModel::RowJudgement RowJudgementOf(const ConsoleData& data, const PairRecord& pair) {
    PairListModel::RowJudgement row;
    row.lines = PairLinkLines(data, pair);
    const PairJudgement* judged = data.judgement ? data.judgement->Find(pair.id) : nullptr;
    if (judged == nullptr)
        return row;
    const bool withLines = AnyPassLine(data);
    if (withLines) {
        switch (judged->verdict.verdict) {
            case Verdict::Pass:
                row.mark = PairListModel::PassMark;
                break;
            case Verdict::Fail:
                row.mark = PairListModel::FailMark;
                break;
            case Verdict::Unchecked:
                row.mark = PairListModel::UncheckedMark;
                break;
        }
    }
    for (std::string& line : JudgementLines(*judged, withLines))
        row.lines.push_back(std::move(line));
    return row;
}

}  // namespace quarn::console::ui
