#pragma once

#include <QTreeView>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "console/ui/pair_list_model.h"
#include "console/ui/pair_row_delegate.h"

class QPainter;

namespace quarn::console {
class PairTable;
}

namespace quarn::console::ui {

// The pair list: one 21-pixel row per pair of the table, eight fixed columns, no
// header of its own. A PairListModel gives the rows, a PairRowDelegate paints them;
// the list keeps its pairs by id and reports what is selected upward.
class PairListWidget : public QTreeView {
    Q_OBJECT

  public:
    static constexpr int kRowHeight = PairRowDelegate::kRowHeight;
    static constexpr int kColumnCount = PairListModel::ColumnCount;
    // Widths of the first seven columns; the last takes the rest of the list width.
    static constexpr std::array<int, 7> kColumnWidths = {58, 193, 46, 57, 91, 91, 91};
    static constexpr int kFixedColumnsWidth = 627;
    static constexpr int kRowsWithoutScrolling = 6;

    // Height of the list for `pairs` rows: one stripe more than the rows up to six
    // pairs, then fixed at seven stripes (147) with the rows scrolling.
    static int HeightFor(int pairs);
    // The column titles strip the owner draws above the list (#E1E1E1, titles at the
    // column starts): `strip` is the header strip's rectangle, `listWidth` the list's.
    static void PaintHeaderStrip(QPainter& painter, const QRect& strip, int listWidth,
                                 const QFont& font);

    explicit PairListWidget(const PairTable& table, QWidget* parent = nullptr);
    ~PairListWidget() override;

    // The rows' model, for parts of the window that add to what a row says.
    PairListModel* Model() const { return model_; }
    // Parallel-stream badges show only under TCP.
    void SetProtocolIsTcp(bool tcp);
    // Name shown for an address while a row shows names (empty: the address is shown).
    void SetNameLookup(std::function<std::string(const std::string&)> lookup);
    // Re-reads the table: rows added or removed, texts changed. Keeps the selection
    // while rows are only appended.
    void Refresh();

    // The pair selected last (drawn with the larger marker), PairId() for none.
    PairId MarkedPair() const { return delegate_->MarkedPair(); }
    // Every selected pair, in list order.
    std::vector<PairId> SelectedPairs() const;
    // The pair under the last right click, PairId() when it hit none.
    PairId ContextPair() const { return contextPair_; }
    // Last pair reported by highlightChanged; the owner may reset it (say to none after
    // a delete) without a signal.
    PairId Highlighted() const { return highlighted_; }
    void SetHighlighted(PairId pair) { highlighted_ = pair; }

  signals:
    // A pair became selected and it differs from the last one reported.
    void highlightChanged(quarn::console::PairId pair);
    // Double click on a pair (the edit-pair operation).
    void pairDoubleClicked(quarn::console::PairId pair);
    // Right click on a pair: the owner shows the pair menu at `globalPos`.
    void contextMenuRequested(quarn::console::PairId pair, const QPoint& globalPos);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;
    void updateGeometries() override;

  private:
    class Filler;

    void LayoutColumns();

    PairListModel* model_;
    PairRowDelegate* delegate_;
    Filler* filler_;
    PairId contextPair_ = PairId();
    PairId highlighted_;
};

}  // namespace quarn::console::ui
