#include "console/ui/pair_list_widget.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "widgets/fonts.h"

namespace quarn::console::ui {

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
        painter.fillRect(
            rect(), stripe_() % 2 == 0 ? QColor(PairRowDelegate::kEvenRowRgb) : QColor(Qt::white));
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
        painter.drawText(
            QRect(x + 5, strip.top(), std::max(w - 6, 0), strip.height()),
            Qt::AlignLeft | Qt::AlignVCenter | PairRowDelegate::kTextFlags,
            QString::fromUtf8(PairListModel::kColumnTitles[static_cast<std::size_t>(c)]));
        x += w;
    }
    painter.restore();
}

PairListWidget::PairListWidget(const PairTable& table, QWidget* parent)
    : QTreeView(parent),
      model_(new PairListModel(table, this)),
      delegate_(new PairRowDelegate(this)),
      filler_(new Filler(this, [this] {
          return verticalScrollBar()->value() +
                 std::min(model_->rowCount({}), kRowsWithoutScrolling);
      })) {
    setModel(model_);
    setItemDelegate(delegate_);
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
    // The rows draw no focus frame.
    setAllColumnsShowFocus(false);
    setViewportMargins(0, 0, 0, kRowHeight);
    viewport()->setAutoFillBackground(false);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, filler_, qOverload<>(&QWidget::update));
    LayoutColumns();
}

PairListWidget::~PairListWidget() = default;

void PairListWidget::SetProtocolIsTcp(bool tcp) {
    model_->SetProtocolIsTcp(tcp);
}

void PairListWidget::SetNameLookup(std::function<std::string(const std::string&)> lookup) {
    model_->SetNameLookup(std::move(lookup));
}

void PairListWidget::Refresh() {
    const PairListModel::Change change = model_->Sync();
    if (change == PairListModel::Change::Reset) {
        // Rows went away from anywhere: nothing stays selected.
        delegate_->SetMarkedPair(PairId());
        contextPair_ = PairId();
    }
    if (change != PairListModel::Change::None) {
        filler_->update();
    }
    viewport()->update();
}

std::vector<PairId> PairListWidget::SelectedPairs() const {
    std::vector<PairId> pairs;
    if (selectionModel() == nullptr) {
        return pairs;
    }
    QModelIndexList rows = selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& index : rows) {
        pairs.push_back(model_->IdOfRow(index.row()));
    }
    return pairs;
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
                         i % 2 == 0 ? QColor(PairRowDelegate::kEvenRowRgb) : QColor(Qt::white));
    }
    painter.end();
    QTreeView::paintEvent(event);
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
    const PairId pair = model_->IdOfRow(item);
    delegate_->SetMarkedPair(pair);
    viewport()->update();
    if (pair != highlighted_) {
        highlighted_ = pair;
        emit highlightChanged(pair);
    }
}

void PairListWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    QTreeView::mouseDoubleClickEvent(event);
    if (index.isValid()) {
        emit pairDoubleClicked(model_->IdOfRow(index.row()));
    }
}

void PairListWidget::contextMenuEvent(QContextMenuEvent* event) {
    contextPair_ = PairId();
    const QModelIndex index = indexAt(event->pos());
    if (index.isValid()) {
        contextPair_ = model_->IdOfRow(index.row());
        emit contextMenuRequested(contextPair_, event->globalPos());
    }
    event->accept();
}

}  // namespace quarn::console::ui
