#include "console/ui/pair_list_widget.h"

#include <QAbstractTableModel>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "console/core/pair_table.h"
#include "widgets/artwork.h"
#include "widgets/fonts.h"

namespace quarn::console::ui {

namespace {

const QColor kSelectedRow(0xED, 0xF3, 0xD8);
const QColor kEvenRow(0xF7, 0xF7, 0xF7);
const QColor kActiveText(0x7B, 0x7B, 0x7B);
const QColor kInactiveText(0xD0, 0xD0, 0xD0);
constexpr int kTextFlags = Qt::TextSingleLine;

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

}  // namespace

const std::array<const char*, PairListWidget::kColumnCount> PairListWidget::kColumnTitles = {
    "Pair 이름", "End Point 1  >  End Point 2",
    "현재상태",  "측정횟수",
    "현재속도",  "평균속도",
    "최소속도",  "최대속도"};

// Rows and texts of the table for the view's selection, scrolling and accessibility;
// drawing reads the table directly.
class PairListWidget::Model : public QAbstractTableModel {
  public:
    explicit Model(const PairTable& table, QObject* parent)
        : QAbstractTableModel(parent), table_(table) {}

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : kColumnCount;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::SizeHintRole) {
            return QSize(0, kRowHeight);
        }
        if (role != Qt::DisplayRole || !index.isValid() || !table_.IsPairRow(index.row() + 1)) {
            return {};
        }
        const PairRecord& p = table_[index.row() + 1];
        switch (index.column()) {
            case 0:
                return Text(p.name);
            case 1:
                return Text(p.endpoint1 + " > " + p.endpoint2);
            case 2:
                return Text(p.statusText);
            case 3:
                return Text(p.countText);
            case 4:
                return Text(p.currentText);
            case 5:
                return Text(p.averageText);
            case 6:
                return Text(p.minText);
            default:
                return Text(p.maxText);
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
            section < kColumnCount) {
            return QString::fromUtf8(kColumnTitles[static_cast<std::size_t>(section)]);
        }
        return {};
    }

    enum class Change { None, Grew, Reset };

    // Follows the table: rows appended keep the selection, any other change of shape
    // starts the view again.
    Change Sync() {
        const int now = table_.PairCount();
        if (now == rows_) {
            if (rows_ > 0) {
                emit dataChanged(index(0, 0), index(rows_ - 1, kColumnCount - 1));
            }
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

  private:
    const PairTable& table_;
    int rows_ = 0;
};

// The stripe under the last visible row, so that rows never fill the whole height and
// a seventh pair scrolls.
class PairListWidget::Filler : public QWidget {
  public:
    Filler(QWidget* parent, std::function<int()> stripe)
        : QWidget(parent), stripe_(std::move(stripe)) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), stripe_() % 2 == 0 ? kEvenRow : QColor(Qt::white));
    }

  private:
    std::function<int()> stripe_;
};

int PairListWidget::HeightFor(int pairs) {
    return (std::clamp(pairs, 0, kRowsWithoutScrolling) + 1) * kRowHeight;
}

void PairListWidget::PaintHeaderStrip(QPainter& painter, const QRect& strip, int listWidth,
                                      const QFont& font) {
    painter.save();
    painter.fillRect(strip, QColor(0xE1, 0xE1, 0xE1));
    painter.setFont(font);
    int x = strip.left();
    for (int c = 0; c < kColumnCount; ++c) {
        const int w = c < 7 ? kColumnWidths[static_cast<std::size_t>(c)]
                            : std::max(listWidth - kFixedColumnsWidth, 0);
        if (c > 0) {
            painter.setPen(QColor(0xF5, 0xF5, 0xF5));
            painter.drawLine(x, strip.top() + 4, x, strip.bottom() - 4);
            painter.setPen(QColor(0xC8, 0xC8, 0xC8));
            painter.drawLine(x - 1, strip.top() + 4, x - 1, strip.bottom() - 4);
        }
        painter.setPen(QColor(0x4B, 0x4B, 0x4B));
        painter.drawText(QRect(x + 5, strip.top(), std::max(w - 6, 0), strip.height()),
                         Qt::AlignLeft | Qt::AlignVCenter | kTextFlags,
                         QString::fromUtf8(kColumnTitles[static_cast<std::size_t>(c)]));
        x += w;
    }
    painter.restore();
}

PairListWidget::PairListWidget(const PairTable& table, QWidget* parent)
    : QTreeView(parent),
      table_(table),
      model_(new Model(table, this)),
      filler_(new Filler(this, [this] {
          return verticalScrollBar()->value() +
                 std::min(model_->rowCount({}), kRowsWithoutScrolling);
      })) {
    widgets::InitArtwork();
    setModel(model_);
    setFont(widgets::GulimFont(12));
    header()->hide();
    header()->setSectionResizeMode(QHeaderView::Fixed);
    header()->setStretchLastSection(false);
    header()->setMinimumSectionSize(0);
    setRootIsDecorated(false);
    setIndentation(0);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(ExtendedSelection);
    setSelectionBehavior(SelectRows);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(ScrollPerItem);
    setFrameShape(QFrame::NoFrame);
    setAllColumnsShowFocus(true);
    setViewportMargins(0, 0, 0, kRowHeight);
    viewport()->setAutoFillBackground(false);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, filler_, qOverload<>(&QWidget::update));
    LayoutColumns();
}

PairListWidget::~PairListWidget() = default;

void PairListWidget::SetProtocolIsTcp(bool tcp) {
    if (tcp_ != tcp) {
        tcp_ = tcp;
        viewport()->update();
    }
}

void PairListWidget::SetNameLookup(std::function<std::string(const std::string&)> lookup) {
    lookup_ = std::move(lookup);
    viewport()->update();
}

void PairListWidget::Refresh() {
    const Model::Change change = model_->Sync();
    if (change == Model::Change::Reset) {
        // Rows went away from anywhere: nothing stays selected.
        selectedRow_ = -1;
        contextRow_ = -1;
    }
    if (change != Model::Change::None) {
        filler_->update();
    }
    viewport()->update();
}

std::vector<int> PairListWidget::SelectedTableRows() const {
    std::vector<int> rows;
    if (selectionModel() == nullptr) {
        return rows;
    }
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.push_back(index.row() + 1);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void PairListWidget::LayoutColumns() {
    for (int c = 0; c < 7; ++c) {
        header()->resizeSection(c, kColumnWidths[static_cast<std::size_t>(c)]);
    }
    header()->resizeSection(7, std::max(width() - kFixedColumnsWidth, 0));
}

void PairListWidget::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    LayoutColumns();
    filler_->setGeometry(0, height() - kRowHeight, width(), kRowHeight);
}

void PairListWidget::updateGeometries() {
    QTreeView::updateGeometries();
    // The tree view sets its margins for the (hidden) header; keep the bottom stripe.
    setViewportMargins(0, 0, 0, kRowHeight);
}

void PairListWidget::paintEvent(QPaintEvent* event) {
    // Stripes behind the rows, continuing below the last one.
    QPainter painter(viewport());
    const int first = verticalScrollBar()->value();
    for (int y = 0, i = first; y < viewport()->height(); y += kRowHeight, ++i) {
        painter.fillRect(QRect(0, y, viewport()->width(), kRowHeight),
                         i % 2 == 0 ? kEvenRow : QColor(Qt::white));
    }
    painter.end();
    QTreeView::paintEvent(event);
}

QString PairListWidget::EndPointText(const std::string& address, bool showAddress) const {
    if (!showAddress && lookup_) {
        const std::string name = lookup_(address);
        if (!name.empty()) {
            return Text(name);
        }
    }
    return Text(address);
}

void PairListWidget::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    const int item = index.row();
    const int pairNumber = item + 1;
    if (item < 0 || !table_.IsPairRow(pairNumber)) {
        return;
    }
    const PairRecord& p = table_[pairNumber];
    const QRect r(0, option.rect.top(), viewport()->width(), kRowHeight);
    const bool selected = selectionModel() != nullptr && selectionModel()->isRowSelected(item, {});
    painter->save();
    painter->fillRect(r, selected ? kSelectedRow : (item % 2 == 1 ? QColor(Qt::white) : kEvenRow));
    painter->setFont(font());
    painter->setPen(p.active != 0 ? kActiveText : kInactiveText);

    auto columnStart = [&](int c) { return header()->sectionViewportPosition(c); };
    auto columnEnd = [&](int c) { return columnStart(c) + header()->sectionSize(c); };
    const int top = r.top() + 5;
    const int textHeight = r.bottom() + 1 - top;
    auto span = [&](int x0, int x1) { return QRect(x0, top, std::max(x1 - x0, 0), textHeight); };
    const QFontMetrics metrics(font());
    auto elided = [&](const QString& text, int w) {
        return metrics.elidedText(text, Qt::ElideRight, w);
    };

    // Column 0: marker, name, parallel-streams badge.
    if (pairNumber <= 16) {
        const bool large = item == selectedRow_;
        const QPixmap marker(widgets::MarkerPath(pairNumber, large ? 8 : 6));
        painter->drawPixmap(large ? r.left() + 4 : r.left() + 5, large ? r.top() + 6 : r.top() + 7,
                            marker);
    }
    painter->drawText(span(columnStart(0) + 15, columnEnd(0)),
                      Qt::AlignLeft | Qt::AlignTop | kTextFlags, Text(p.name));
    if (tcp_ && p.parallel >= 2 && p.active != 0) {
        const QPixmap badge(widgets::BadgePath(std::min(p.parallel, 16)));
        painter->drawPixmap(r.left() + 44 + (pairNumber >= 10 ? 5 : 0), r.top() + 7, badge);
    }
    // Column 1: the two End Points, cut with an ellipsis.
    const int c1 = columnStart(1);
    const bool showAddress = p.showAddress != 0;
    painter->drawText(span(c1 + 7, c1 + 93), Qt::AlignLeft | Qt::AlignTop | kTextFlags,
                      elided(EndPointText(p.endpoint1, showAddress), 86));
    painter->drawText(span(c1 + 105, c1 + 189), Qt::AlignLeft | Qt::AlignTop | kTextFlags,
                      elided(EndPointText(p.endpoint2, showAddress), 84));
    // Column 2: state, centred.
    painter->drawText(span(columnStart(2), columnEnd(2)),
                      Qt::AlignHCenter | Qt::AlignTop | kTextFlags, Text(p.statusText));
    // Column 3: count.
    const int c3 = columnStart(3);
    painter->drawText(span(c3 + 6, c3 + 51), Qt::AlignRight | Qt::AlignTop | kTextFlags,
                      Text(p.countText));
    // Columns 4..6: current, average, minimum.
    const std::string* figures[] = {&p.currentText, &p.averageText, &p.minText};
    for (int c = 4; c <= 6; ++c) {
        painter->drawText(span(columnStart(c), columnEnd(c) - 6),
                          Qt::AlignRight | Qt::AlignTop | kTextFlags, Text(*figures[c - 4]));
    }
    // Column 7: maximum.
    const int c7 = columnStart(7);
    painter->drawText(span(c7 + 9, c7 + 84), Qt::AlignRight | Qt::AlignTop | kTextFlags,
                      Text(p.maxText));
    painter->restore();
}

void PairListWidget::selectionChanged(const QItemSelection& selected,
                                      const QItemSelection& deselected) {
    QTreeView::selectionChanged(selected, deselected);
    int item = -1;
    const QModelIndex current = currentIndex();
    if (current.isValid() && selected.contains(current)) {
        item = current.row();
    } else {
        for (const QModelIndex& index : selected.indexes()) {
            item = std::max(item, index.row());
        }
    }
    if (item < 0) {
        return;
    }
    selectedRow_ = item;
    viewport()->update();
    if (item + 1 != highlightedRow_) {
        highlightedRow_ = item + 1;
        emit highlightChanged(highlightedRow_);
    }
}

void PairListWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    QTreeView::mouseDoubleClickEvent(event);
    if (index.isValid()) {
        emit rowDoubleClicked(index.row());
    }
}

void PairListWidget::contextMenuEvent(QContextMenuEvent* event) {
    contextRow_ = -1;
    const QModelIndex index = indexAt(event->pos());
    if (index.isValid()) {
        contextRow_ = index.row();
        emit contextMenuRequested(contextRow_, event->globalPos());
    }
    event->accept();
}

}  // namespace quarn::console::ui
