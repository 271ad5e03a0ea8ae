#include "widgets/skin_combo.h"

#include <QAbstractItemView>
#include <QListView>
#include <QPainter>
#include <QStyledItemDelegate>

namespace quarn::widgets {

namespace {

const QColor kOuterFrame(0xD9, 0xD9, 0xD9);
const QColor kSelectedItem(0xD6, 0xDD, 0xB9);
const QColor kDisabledItem(0xF1, 0xF1, 0xF1);

class ItemDelegate : public QStyledItemDelegate {
  public:
    explicit ItemDelegate(SkinCombo* combo) : QStyledItemDelegate(combo), combo_(combo) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        const bool enabled =
            option.state.testFlag(QStyle::State_Enabled) && (index.flags() & Qt::ItemIsEnabled);
        combo_->DrawItem(*painter, option.rect, index.row(), selected, enabled);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), SkinCombo::kItemHeight};
    }

  private:
    SkinCombo* combo_;
};

}  // namespace

SkinCombo::SkinCombo(QWidget* parent) : QComboBox(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    auto* list = new QListView(this);
    list->setUniformItemSizes(true);
    setView(list);
    view()->setItemDelegate(new ItemDelegate(this));
    view()->setStyleSheet(
        QStringLiteral("QListView { border: 1px solid #D9D9D9; background: #FFFFFF; }"));
}

void SkinCombo::DrawItem(QPainter& painter, const QRect& rect, int index, bool selected,
                         bool enabled) const {
    if (index < 0 || index >= count()) {
        return;
    }
    const QColor fill = selected ? kSelectedItem : (!enabled ? kDisabledItem : QColor(Qt::white));
    painter.fillRect(rect, fill);
    painter.setPen(Qt::black);
    painter.setFont(font());
    const QRect textRect = rect.adjusted(3, 2, 0, 0);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     itemText(index));
}

QRect SkinCombo::DropButtonRect() const {
    return {width() - 2 - kDropButtonWidth, 2, kDropButtonWidth, height() - 4};
}

void SkinCombo::showPopup() {
    QComboBox::showPopup();
    QWidget* popup = view()->window();
    if (popup != nullptr && popup != window()) {
        popup->move(mapToGlobal(QPoint(0, height())));
    }
}

void SkinCombo::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    // The selection field: the current item, or nothing without a selection.
    const QRect field(2, 2, width() - 4 - kDropButtonWidth, height() - 4);
    DrawItem(painter, field, currentIndex(), false, isEnabled());

    // Drop-down arrow.
    const QRect button = DropButtonRect();
    const QPoint centre = button.center();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(isEnabled() ? QColor(0x5A, 0x5A, 0x5A) : QColor(0xB0, 0xB0, 0xB0));
    const QPointF arrow[] = {QPointF(centre.x() - 3.5, centre.y() - 1.5),
                             QPointF(centre.x() + 4.5, centre.y() - 1.5),
                             QPointF(centre.x() + 0.5, centre.y() + 2.5)};
    painter.drawPolygon(arrow, 3);
    painter.setRenderHint(QPainter::Antialiasing, false);

    // Frames: outer #D9D9D9, inner white, white around the drop button.
    painter.setBrush(Qt::NoBrush);
    painter.setPen(kOuterFrame);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setPen(Qt::white);
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
    painter.drawRect(button.adjusted(0, 0, -1, -1));
}

}  // namespace quarn::widgets
