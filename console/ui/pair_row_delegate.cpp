#include "console/ui/pair_row_delegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "widgets/artwork.h"
#include "widgets/cut_text_tip.h"
#include "widgets/palette.h"

namespace quarn::console::ui {

namespace {

const QColor kSelectedRow(0xED, 0xF3, 0xD8);
const QColor kActiveText(0x7B, 0x7B, 0x7B);
const QColor kInactiveText(0xD0, 0xD0, 0xD0);
constexpr int kTextTop = 5;
const QColor kPassMark(0x7F, 0xA8, 0x2B);
const QColor kFailMark(0xC8, 0x3A, 0x2E);
constexpr double kVerdictMarkSize = 7.0;
constexpr int kVerdictMarkLeft = 2;
constexpr int kMarkers = 16;
// The End Point texts of a row: first and second, each cut to its own box.
constexpr int kFirstEndPointLeft = 7;
constexpr int kFirstEndPointWidth = 86;
constexpr int kSecondEndPointLeft = 105;
constexpr int kSecondEndPointWidth = 84;

// The row's left edge: where its first column starts in the view.
int RowLeft(const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (index.column() == 0) {
        return option.rect.left();
    }
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    return view != nullptr ? view->visualRect(index.siblingAtColumn(0)).left() : 0;
}

}  // namespace

PairRowDelegate::PairRowDelegate(QObject* parent) : QStyledItemDelegate(parent) {
    widgets::InitArtwork();
}

QSize PairRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return QSize(0, kRowHeight);
}

void PairRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    if (!index.isValid() || !index.data(PairListModel::PairIdRole).isValid()) {
        return;
    }
    const QRect cell = option.rect;
    const QPoint row(RowLeft(option, index), cell.top());
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    painter->save();
    painter->fillRect(cell, selected
                                ? kSelectedRow
                                : (index.row() % 2 == 1 ? QColor(Qt::white) : QColor(kEvenRowRgb)));
    PaintMarks(*painter, cell, row, index);
    PaintText(*painter, option, index);
    painter->restore();
}

void PairRowDelegate::PaintMarks(QPainter& painter, const QRect& cell, const QPoint& row,
                                 const QModelIndex& index) const {
    painter.save();
    painter.setClipRect(cell, Qt::IntersectClip);
    auto place = [&](const QPoint& at, const QPixmap& picture) {
        if (QRect(at, picture.size()).intersects(cell)) {
            painter.drawPixmap(at, picture);
        }
    };
    const int pairNumber = index.data(PairListModel::PairNumberRole).toInt();
    if (pairNumber <= kMarkers) {
        const bool large = index.data(PairListModel::PairIdRole).toULongLong() == marked_.Value();
        place(large ? row + QPoint(4, 6) : row + QPoint(5, 7),
              QPixmap(widgets::MarkerPath(pairNumber, large ? 8 : 6)));
    }
    const int badge = index.data(PairListModel::BadgeRole).toInt();
    if (badge >= 2) {
        place(BadgeRect(row, index).topLeft(), QPixmap(widgets::BadgePath(badge)));
    }
    painter.restore();
}

QRect PairRowDelegate::BadgeRect(const QPoint& row, const QModelIndex& index) {
    const int badge = index.data(PairListModel::BadgeRole).toInt();
    if (badge < 2)
        return {};
    const int pairNumber = index.data(PairListModel::PairNumberRole).toInt();
    const QPixmap picture(widgets::BadgePath(badge));
    return QRect(row + QPoint(44 + (pairNumber >= 10 ? 5 : 0), 7), picture.size());
}

bool PairRowDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip ||
        !index.isValid() || !index.data(PairListModel::PairIdRole).isValid()) {
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    const QRect cell = option.rect;
    const QPoint row(RowLeft(option, index), cell.top());
    const QRect badge = BadgeRect(row, index);
    if (badge.contains(event->pos())) {
        const int streams = index.data(PairListModel::BadgeRole).toInt();
        QToolTip::showText(event->globalPos(),
                           QStringLiteral("%1 parallel connections").arg(streams), view->viewport(),
                           badge);
        return true;
    }
    if (index.column() == PairListModel::EndPointsColumn) {
        const QFontMetrics metrics(option.font);
        const int top = cell.top();
        const QRect first(cell.left() + kFirstEndPointLeft, top, kFirstEndPointWidth, kRowHeight);
        const QRect second(cell.left() + kSecondEndPointLeft, top, kSecondEndPointWidth,
                           kRowHeight);
        const QString one = index.data(PairListModel::FirstEndPointRole).toString();
        const QString two = index.data(PairListModel::SecondEndPointRole).toString();
        if (widgets::ShowCutTextTip(*event, view->viewport(), first, one, metrics) ||
            widgets::ShowCutTextTip(*event, view->viewport(), second, two, metrics)) {
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

// A small dot after the state: filled green for a pass, red for a failure, a grey
// ring for a pair no line could judge.
void PairRowDelegate::PaintVerdictMark(QPainter& painter, const QRect& cell, int mark) {
    if (mark == PairListModel::NoMark)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF dot(cell.left() + kVerdictMarkLeft,
                     cell.top() + (kRowHeight - kVerdictMarkSize) / 2.0, kVerdictMarkSize,
                     kVerdictMarkSize);
    if (mark == PairListModel::UncheckedMark) {
        painter.setPen(QPen(widgets::palette::kGreyText, 1.2));
        painter.setBrush(Qt::NoBrush);
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(mark == PairListModel::PassMark ? kPassMark : kFailMark);
    }
    painter.drawEllipse(dot);
    painter.restore();
}

void PairRowDelegate::PaintText(QPainter& painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    const QRect cell = option.rect;
    const bool active = index.data(PairListModel::ActiveRole).toBool();
    painter.setFont(option.font);
    painter.setPen(active ? kActiveText : kInactiveText);
    const int start = cell.left();
    const int end = cell.right() + 1;
    const int top = cell.top() + kTextTop;
    const int textHeight = cell.top() + kRowHeight - top;
    auto span = [&](int x0, int x1) { return QRect(x0, top, std::max(x1 - x0, 0), textHeight); };
    auto draw = [&](const QRect& box, Qt::Alignment align, const QString& text) {
        painter.drawText(box, align | Qt::AlignTop | kTextFlags, text);
    };
    const QString text = index.data(Qt::DisplayRole).toString();
    switch (index.column()) {
        case PairListModel::NameColumn:
            draw(span(start + 15, end), Qt::AlignLeft, text);
            break;
        case PairListModel::EndPointsColumn: {
            // Each End Point in its own box, cut with an ellipsis.
            const QFontMetrics metrics(option.font);
            auto elided = [&](int role, int width) {
                return metrics.elidedText(index.data(role).toString(), Qt::ElideRight, width);
            };
            draw(span(start + kFirstEndPointLeft, start + 93), Qt::AlignLeft,
                 elided(PairListModel::FirstEndPointRole, kFirstEndPointWidth));
            draw(span(start + kSecondEndPointLeft, start + 189), Qt::AlignLeft,
                 elided(PairListModel::SecondEndPointRole, kSecondEndPointWidth));
            break;
        }
        case PairListModel::StatusColumn:
            draw(span(start, end), Qt::AlignHCenter, text);
            break;
        case PairListModel::CountColumn:
            // The verdict mark sits right after the state, where counts of up to six
            // digits leave room.
            PaintVerdictMark(painter, cell, index.data(PairListModel::VerdictRole).toInt());
            draw(span(start + 6, start + 51), Qt::AlignRight, text);
            break;
        case PairListModel::MaxColumn:
            draw(span(start + 9, start + 84), Qt::AlignRight, text);
            break;
        default:  // current, average, minimum
            draw(span(start, end - 6), Qt::AlignRight, text);
            break;
    }
}

}  // namespace quarn::console::ui
