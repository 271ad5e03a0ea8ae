#pragma once

#include <QAbstractListModel>
#include <QStyledItemDelegate>

#include "console/core/pair_logs.h"

namespace quarn::console::ui {

// One list row per line of a pair's log, read from the log when the view asks: the log
// is never copied. The row count follows the log only at Refresh, so a view never sees
// more rows than it was told about.
class LogListModel : public QAbstractListModel {
    Q_OBJECT

  public:
    static constexpr QRgb kCountedColour = 0xFF000000;
    static constexpr QRgb kOtherColour = 0xFFD0D0D0;
    // Data role: whether the line's value entered the statistics.
    static constexpr int kCountedRole = Qt::UserRole + 1;

    LogListModel(const PairLogs& logs, PairId pair, QObject* parent = nullptr);
    // Takes up the log's current line count: new lines are appended to the view, a log
    // that shrank (cleared for a new run) resets it.
    void Refresh();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  private:
    const PairLog* Log() const;

    const PairLogs& logs_;
    PairId pair_;
    int shown_ = 0;
};

// Draws a log row: 21 pixels high, #EDF3D8 when selected, text 5 pixels in, counted
// lines black and the others light grey.
class LogRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    static constexpr int kRowHeight = 21;
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace quarn::console::ui
