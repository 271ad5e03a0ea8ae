#include "console/ui/endpoint_list_box.h"

#include <QHelpEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QToolTip>

#include "console/core/endpoint_entry.h"
#include "widgets/cut_text_tip.h"
#include "widgets/fonts.h"
#include "widgets/palette.h"
#include "widgets/text.h"

namespace quarn::console::ui {

namespace {

const QColor& kSelected = widgets::palette::kSelection;
const QColor& kStripe = widgets::palette::kStripe;
const QColor& kNameColour = widgets::palette::kGreyText;

}  // namespace

class EndPointListBox::Delegate : public QStyledItemDelegate {
  public:
    explicit Delegate(EndPointListBox* box) : QStyledItemDelegate(box), box_(box) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        box_->DrawItem(*painter, option.rect, index.row(),
                       option.state.testFlag(QStyle::State_Selected));
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {box_->viewport()->width(), kRowHeight};
    }

  private:
    EndPointListBox* box_;
};

EndPointListBox::EndPointListBox(QWidget* parent)
    : QListWidget(parent), smallFont_(widgets::GulimFont(11)) {
    setFont(widgets::GulimFont(12));
    setItemDelegate(new Delegate(this));
    setUniformItemSizes(true);
    // Several EndPoints for the mesh and fan builders; a plain click still picks one.
    setSelectionMode(ExtendedSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setEditTriggers(NoEditTriggers);
    viewport()->setAutoFillBackground(false);
    SetEmpty();
}

EndPointListBox::~EndPointListBox() = default;

void EndPointListBox::SetEntries(const std::vector<EndPointEntry>& entries) {
    clear();
    items_.clear();
    for (const EndPointEntry& entry : entries) {
        Item item;
        item.address = widgets::FromUtf8(entry.address);
        if (!entry.name.empty()) {
            item.label = QStringLiteral("(") + widgets::FromUtf8(entry.name);
        }
        // A keyed search found no signature of the lab key for it.
        if (entry.unverified) {
            item.label += item.label.isEmpty() ? QStringLiteral("(unverified")
                                               : QStringLiteral(", unverified");
        }
        if (entry.link) {
            item.link = widgets::FromUtf8(DescribeNamedLink(*entry.link));
            // A wireless end is why a figure may scatter: it shows in the row itself.
            if (entry.link->wireless)
                item.label += item.label.isEmpty() ? QStringLiteral("(wireless")
                                                   : QStringLiteral(", wireless");
        }
        items_.push_back(item);
        addItem(item.address);
    }
    known_ = !entries.empty();
    if (!known_) {
        SetEmpty();
        return;
    }
    Measure();
    setCurrentRow(0);
}

QString EndPointListBox::Label(int row) const {
    if (row < 0 || row >= static_cast<int>(items_.size())) {
        return {};
    }
    return items_[static_cast<std::size_t>(row)].label;
}

QString EndPointListBox::LinkText(int row) const {
    if (row < 0 || row >= static_cast<int>(items_.size()))
        return {};
    return items_[static_cast<std::size_t>(row)].link;
}

void EndPointListBox::SetEmpty() {
    clear();
    items_.clear();
    known_ = false;
    addItem(QString::fromLatin1(kEmptyText));
}

std::optional<std::string> EndPointListBox::SelectedAddress() const {
    const int row = currentRow();
    if (!known_ || row < 0 || row >= static_cast<int>(items_.size()) || !item(row)->isSelected()) {
        return std::nullopt;
    }
    return items_[static_cast<std::size_t>(row)].address.toStdString();
}

std::vector<std::string> EndPointListBox::SelectedAddresses() const {
    std::vector<std::string> addresses;
    if (!known_)
        return addresses;
    for (int row = 0; row < static_cast<int>(items_.size()); ++row) {
        if (item(row)->isSelected())
            addresses.push_back(items_[static_cast<std::size_t>(row)].address.toStdString());
    }
    return addresses;
}

void EndPointListBox::SetSmallFont(const QFont& font) {
    smallFont_ = font;
    Measure();
    viewport()->update();
}

void EndPointListBox::Measure() {
    const QFontMetrics addressMetrics(font());
    const QFontMetrics labelMetrics(smallFont_);
    for (Item& item : items_) {
        item.addressWidth = addressMetrics.horizontalAdvance(item.address);
        item.labelWidth = labelMetrics.horizontalAdvance(item.label);
    }
}

QRect EndPointListBox::AddressRect(const QRect& itemRect) {
    return QRect(itemRect.left() + 5, itemRect.top() + 5, std::max(itemRect.width() - 10, 0),
                 itemRect.height());
}

QRect EndPointListBox::NameRect(const QRect& itemRect, const Item& item) {
    const int nameLeft = itemRect.left() + 8 + item.addressWidth;
    const int nameRight = itemRect.right() + 1 - 5;
    return QRect(nameLeft, itemRect.top(), std::max(nameRight - nameLeft, 0), itemRect.height());
}

bool EndPointListBox::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QListWidget::viewportEvent(event);
    // A name cut with an ellipsis shows whole in its tooltip.
    const auto& help = *static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help.pos());
    const int row = index.row();
    bool shown = false;
    if (known_ && row >= 0 && row < static_cast<int>(items_.size())) {
        const Item& item = items_[static_cast<std::size_t>(row)];
        if (item.addressWidth > AddressRect(visualRect(index)).width()) {
            QStringList lines = {item.address};
            if (!item.label.isEmpty())
                lines << item.label + QStringLiteral(")");
            if (!item.link.isEmpty())
                lines << item.link;
            QToolTip::showText(help.globalPos(), lines.join(QLatin1Char('\n')), viewport(),
                               visualRect(index));
            shown = true;
        } else if (!item.link.isEmpty()) {
            // The link facts, after the whole name, which may be cut in the row.
            const QString name = item.label.isEmpty() ? QString() : item.label + ")\n";
            QToolTip::showText(help.globalPos(), name + item.link, viewport(), visualRect(index));
            shown = true;
        } else {
            shown = !item.label.isEmpty() &&
                    widgets::ShowCutTextTip(help, viewport(), NameRect(visualRect(index), item),
                                            item.label, QFontMetrics(smallFont_));
        }
    }
    if (!shown) {
        QToolTip::hideText();
        event->ignore();
    }
    return true;
}

void EndPointListBox::DrawItem(QPainter& painter, const QRect& rect, int row, bool selected) const {
    if (!known_ || row < 0 || row >= static_cast<int>(items_.size())) {
        return;
    }
    const Item& item = items_[static_cast<std::size_t>(row)];
    painter.save();
    painter.fillRect(rect, selected ? kSelected : (row % 2 == 1 ? kStripe : QColor(Qt::white)));
    painter.setFont(font());
    painter.setPen(Qt::black);
    // A long IPv6 address is cut with an ellipsis and leaves no room for the name; the
    // tooltip shows both whole.
    const QRect addressRect = AddressRect(rect);
    const bool addressCut = item.addressWidth > addressRect.width();
    painter.drawText(addressRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     addressCut ? QFontMetrics(font()).elidedText(item.address, Qt::ElideRight,
                                                                  addressRect.width())
                                : item.address);
    if (!item.label.isEmpty() && !addressCut) {
        const QRect nameRect = NameRect(rect, item);
        const int nameLeft = nameRect.left();
        const bool fits = item.labelWidth <= nameRect.width();
        const QFontMetrics metrics(smallFont_);
        painter.setFont(smallFont_);
        painter.setPen(kNameColour);
        painter.drawText(
            nameRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
            fits ? item.label : metrics.elidedText(item.label, Qt::ElideRight, nameRect.width()));
        painter.setFont(font());
        if (fits) {
            painter.drawText(
                QRect(nameLeft + item.labelWidth + 1, rect.top() + 5, 20, rect.height()),
                Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, QStringLiteral(")"));
        } else {
            // Closed at the item's right edge: the glyph ends there rather than starting
            // there, so it stays visible whatever the face's side bearing.
            painter.drawText(QRect(rect.left(), rect.top() + 5, rect.width() - 1, rect.height()),
                             Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine,
                             QStringLiteral(")"));
        }
    }
    painter.restore();
}

void EndPointListBox::paintEvent(QPaintEvent* event) {
    // Stripes from the top, white first, then the items over them.
    QPainter painter(viewport());
    for (int y = 0, i = 0; y < viewport()->height(); y += kRowHeight, ++i) {
        painter.fillRect(QRect(0, y, viewport()->width(), kRowHeight),
                         i % 2 == 0 ? QColor(Qt::white) : kStripe);
    }
    painter.end();
    QListWidget::paintEvent(event);
}

}  // namespace quarn::console::ui
