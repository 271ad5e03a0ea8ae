#pragma once

#include <QTreeView>
#include <array>
#include <functional>
#include <string>
#include <vector>

class QPainter;

namespace quarn::console {
class PairTable;
}

namespace quarn::console::ui {

// The pair list: one 21-pixel row per pair of the table (list item i is table row
// i + 1; the All row is never an item), eight fixed columns, no header of its own.
// Rows are drawn from the table's texts; what is selected is reported upward.
class PairListWidget : public QTreeView {
    Q_OBJECT

  public:
    static constexpr int kRowHeight = 21;
    static constexpr int kColumnCount = 8;
    // Widths of the first seven columns; the last takes the rest of the list width.
    static constexpr std::array<int, 7> kColumnWidths = {58, 193, 46, 57, 91, 91, 91};
    static constexpr int kFixedColumnsWidth = 627;
    static constexpr int kRowsWithoutScrolling = 6;

    // "Pair 이름", "End Point 1  >  End Point 2", "현재상태", ... "최대속도".
    static const std::array<const char*, kColumnCount> kColumnTitles;
    // Height of the list for `pairs` rows: one stripe more than the rows up to six
    // pairs, then fixed at seven stripes (147) with the rows scrolling.
    static int HeightFor(int pairs);
    // The column titles strip the owner draws above the list (#E1E1E1, titles at the
    // column starts): `strip` is the header strip's rectangle, `listWidth` the list's.
    static void PaintHeaderStrip(QPainter& painter, const QRect& strip, int listWidth,
                                 const QFont& font);

    explicit PairListWidget(const PairTable& table, QWidget* parent = nullptr);
    ~PairListWidget() override;

    // Parallel-stream badges show only under TCP.
    void SetProtocolIsTcp(bool tcp);
    // Name shown for an address while a row shows names (empty: the address is shown).
    void SetNameLookup(std::function<std::string(const std::string&)> lookup);
    // Re-reads the table: rows added or removed, texts changed. Keeps the selection
    // while the number of rows stays.
    void Refresh();

    // The list item selected last (drawn with the larger marker), -1 for none.
    int SelectedRow() const { return selectedRow_; }
    // Table rows (item + 1) of every selected item, ascending.
    std::vector<int> SelectedTableRows() const;
    // Item under the last right click, -1 when it hit no item.
    int ContextRow() const { return contextRow_; }
    // Last value reported by highlightChanged; the owner may reset it (say -1 after a
    // delete) without a signal.
    int HighlightedRow() const { return highlightedRow_; }
    void SetHighlightedRow(int highlightedRow) { highlightedRow_ = highlightedRow; }

  signals:
    // An item became selected and its item + 1 differs from the last value.
    void highlightChanged(int highlightedRow);
    // Double click on an item (the edit-pair operation).
    void rowDoubleClicked(int item);
    // Right click on an item: the owner shows the pair menu at `globalPos`.
    void contextMenuRequested(int item, const QPoint& globalPos);

  protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;
    void updateGeometries() override;

  private:
    class Model;
    class Filler;

    void LayoutColumns();
    QString EndPointText(const std::string& address, bool showAddress) const;

    const PairTable& table_;
    Model* model_;
    Filler* filler_;
    std::function<std::string(const std::string&)> lookup_;
    bool tcp_ = true;
    int selectedRow_ = -1;
    int contextRow_ = -1;
    int highlightedRow_ = -1;
};

}  // namespace quarn::console::ui
