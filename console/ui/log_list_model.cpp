#include "console/ui/log_list_model.h"
#include "widgets/palette.h"
#include "widgets/text.h"

#include <QPainter>

namespace quarn::console::ui {

LogListModel::LogListModel(const PairLogs& logs, PairId pair, QObject* parent)
    : QAbstractListModel(parent), logs_(logs), pair_(pair) {}

const PairLog* LogListModel::Log() const {
    return logs_.Find(pair_);
}

void LogListModel::Refresh() {
    const PairLog* log = Log();
    const int lines = log ? static_cast<int>(log->Size()) : 0;
    if (lines > shown_) {
        beginInsertRows(QModelIndex(), shown_, lines - 1);
        shown_ = lines;
        endInsertRows();
    } else if (lines < shown_) {
        beginResetModel();
        shown_ = lines;
        endResetModel();
    }
}

int LogListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown_;
}

QVariant LogListModel::data(const QModelIndex& index, int role) const {
    const PairLog* log = Log();
    if (!log || !index.isValid() || index.row() < 0 ||
        static_cast<std::size_t>(index.row()) >= log->Size()) {
        return {};
    }
    const auto line = static_cast<std::size_t>(index.row());
    switch (role) {
        case Qt::DisplayRole: {
            const std::string_view text = log->Text(line);
            return widgets::FromUtf8(text);
        }
        case Qt::ForegroundRole:
            return QColor::fromRgb(log->Counted(line) ? kCountedColour : kOtherColour);
        case kCountedRole:
            return log->Counted(line);
        default:
            return {};
    }
}

void LogRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
    const QRect r = option.rect;
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    painter->fillRect(r, selected ? widgets::palette::kSelection : QColor(Qt::white));
    painter->setPen(index.data(Qt::ForegroundRole).value<QColor>());
    painter->setFont(option.font);
    painter->drawText(r.adjusted(5, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
}

QSize LogRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return {option.rect.width(), kRowHeight};
}

}  // namespace quarn::console::ui
