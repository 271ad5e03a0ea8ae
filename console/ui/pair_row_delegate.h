#pragma once

#include <QStyledItemDelegate>

#include "console/ui/pair_list_model.h"

namespace quarn::console::ui {

// Paints the pair list's cells from the model's roles: the striped or selected row
// background, the pair's marker and parallel-streams badge, and each column's text in
// its own place. Row-wide pieces that straddle a column edge are painted by every cell
// they touch, clipped to it, so any one cell repaints alone.
class PairRowDelegate : public QStyledItemDelegate {
  public:
    static constexpr int kRowHeight = 21;
    // The list's stripes and header text are drawn as its cells are.
    static constexpr QRgb kEvenRowRgb = qRgb(0xF7, 0xF7, 0xF7);
    static constexpr int kTextFlags = Qt::TextSingleLine;

    explicit PairRowDelegate(QObject* parent = nullptr);

    // The pair drawn with the larger marker (the one selected last).
    void SetMarkedPair(PairId key) { marked_ = key; }
    PairId MarkedPair() const { return marked_; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // Tooltips: the whole End Point text where it is cut, the stream count on the badge;
    // elsewhere the model's own tooltip.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

  private:
    static QRect BadgeRect(const QPoint& row, const QModelIndex& index);
    void PaintMarks(QPainter& painter, const QRect& cell, const QPoint& row,
                    const QModelIndex& index) const;
    void PaintText(QPainter& painter, const QStyleOptionViewItem& option,
                   const QModelIndex& index) const;
    static void PaintVerdictMark(QPainter& painter, const QRect& cell, int mark);

    PairId marked_ = PairId();
};

}  // namespace quarn::console::ui
