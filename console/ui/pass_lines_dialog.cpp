#include "console/ui/pass_lines_dialog.h"

#include <QLineEdit>
#include <QPainter>

#include "console/ui/pass_line_fields.h"
#include "widgets/flat_painting.h"
#include "widgets/fonts.h"
#include "widgets/palette.h"
#include "widgets/skin_button.h"
#include "widgets/text.h"

namespace quarn::console::ui {
namespace {

constexpr int kFirstLineRow = 33;
constexpr int kLineRowStep = pass_line_layout::kRowStep;
constexpr int kLineFieldLeft = pass_line_layout::kFieldLeft;
constexpr int kLineFieldWidth = pass_line_layout::kFieldWidth;
const QRect kRefusalRect(QPoint(94, 3), QPoint(296, 25));

using pass_line_layout::kLabels;
using pass_line_layout::kUnits;

QRect LineFrameOf(int index) {
    const int top = kFirstLineRow + index * kLineRowStep;
    return QRect(kLineFieldLeft - 5, top, kLineFieldWidth + 10, 20);
}

}  // namespace

PassLinesDialog::PassLinesDialog(const PassLines& lines, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      apply_(new widgets::SkinButton(this)),
      cancel_(new widgets::SkinButton(this)),
      lines_(lines) {
    widgets::WindowMover::Install(this);
    setModal(true);
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(widgets::GulimFont(12));
    fields_ = pass_line_layout::MakeFields(this, lines, QStringLiteral("passLine"), kFirstLineRow);
    apply_->setObjectName(QStringLiteral("apply"));
    cancel_->setObjectName(QStringLiteral("cancel"));
    apply_->setText(QStringLiteral("Apply"));
    cancel_->setText(QStringLiteral("Cancel"));
    apply_->setGeometry(244, kHeight - 26, 52, 21);
    cancel_->setGeometry(188, kHeight - 26, 52, 21);
    for (widgets::SkinButton* button : {apply_, cancel_}) {
        button->setFont(widgets::GulimFont(12));
        button->SetPainter([](QPainter& painter, const widgets::SkinButton& self) {
            widgets::PaintFlatTextButton(painter, self, std::nullopt, 2);
        });
    }
    connect(apply_, &QAbstractButton::clicked, this, &PassLinesDialog::Confirm);
    connect(cancel_, &QAbstractButton::clicked, this, &QDialog::reject);
    fields_[0]->setFocus();
}

void PassLinesDialog::Confirm() {
    const auto text = [this](int i) { return Field(i)->text().toStdString(); };
    const PassLineTexts texts{text(0), text(1), text(2), text(3), text(4)};
    std::string refusal;
    const std::optional<PassLines> lines = ParsePassLineTexts(texts, refusal);
    if (!lines) {
        refusal_ = widgets::FromUtf8(refusal);
        update(kRefusalRect);
        return;
    }
    refusal_.clear();
    lines_ = *lines;
    accept();
}

void PassLinesDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    widgets::PaintRaisedFrame(painter, rect());
    for (int i = 0; i < kFields; ++i) {
        painter.fillRect(LineFrameOf(i), Qt::white);
        painter.setPen(widgets::palette::kLightEdge);
        painter.drawRect(LineFrameOf(i).adjusted(0, 0, -1, -1));
    }
    painter.setPen(widgets::palette::kRule);
    painter.drawLine(6, 25, 296, 25);
    painter.drawLine(6, kHeight - 31, 296, kHeight - 31);

    painter.setFont(widgets::GulimFont(12));
    painter.setPen(Qt::black);
    widgets::DrawDoubledText(painter, 8, 8, QStringLiteral("Pass lines"));
    for (int i = 0; i < kFields; ++i)
        widgets::DrawTextAt(painter, 8, LineFrameOf(i).top() + 4, QString::fromLatin1(kLabels[i]));
    painter.setPen(widgets::palette::kGreyText);
    for (int i = 0; i < kFields; ++i)
        widgets::DrawTextAt(painter, pass_line_layout::kUnitLeft, LineFrameOf(i).top() + 4,
                            QString::fromLatin1(kUnits[i]));
    if (!refusal_.isEmpty()) {
        const QString shown =
            painter.fontMetrics().elidedText(refusal_, Qt::ElideRight, kRefusalRect.width());
        painter.drawText(kRefusalRect, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine,
                         shown);
    }
}

}  // namespace quarn::console::ui
