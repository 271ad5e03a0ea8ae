#include "endpoint/window/rename_dialog.h"

#include <QLineEdit>
#include <QPainter>

#include "endpoint/agent/identity.h"
#include "widgets/flat_painting.h"
#include "widgets/palette.h"
#include "widgets/skin_button.h"

namespace quarn::endpoint_window {
namespace {

// The white box (6,37)-(244,57); the field sits inside it, 5 pixels in at the sides, 4 at
// the top and 2 at the bottom.
const QRect kBox(6, 37, 238, 20);
const QRect kFieldRect = kBox.adjusted(5, 4, -5, -2);

}  // namespace

RenameDialog::RenameDialog(const QString& currentName, const QFont& font, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), font_(font) {
    setWindowTitle(QStringLiteral("New name"));
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(font_);

    field_ = new QLineEdit(this);
    field_->setObjectName(QStringLiteral("name"));
    field_->setGeometry(kFieldRect);
    field_->setFrame(false);
    field_->setFont(font_);
    field_->setMaxLength(kMaxNameLength);
    field_->setText(currentName);
    field_->selectAll();
    QPalette palette = field_->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    // The flat green family's selection colour rather than the desktop's.
    palette.setColor(QPalette::Highlight, QColor(214, 221, 185));
    palette.setColor(QPalette::HighlightedText, Qt::black);
    field_->setPalette(palette);
    field_->setFocus();
    connect(field_, &QLineEdit::returnPressed, this, &RenameDialog::Apply);

    applyButton_ = MakeButton(QStringLiteral("Apply"), QRect(192, 64, 52, 21));
    cancelButton_ = MakeButton(QStringLiteral("Cancel"), QRect(136, 64, 52, 21));
    applyButton_->setObjectName(QStringLiteral("apply"));
    cancelButton_->setObjectName(QStringLiteral("cancel"));
    connect(applyButton_, &QAbstractButton::clicked, this, &RenameDialog::Apply);
    connect(cancelButton_, &QAbstractButton::clicked, this, [this] { done(QDialog::Rejected); });

    warningTimer_.setSingleShot(true);
    warningTimer_.setInterval(kWarningMs);
    connect(&warningTimer_, &QTimer::timeout, this, [this] {
        warning_ = false;
        update();
    });
}

widgets::SkinButton* RenameDialog::MakeButton(const QString& caption, const QRect& geometry) {
    auto* button = new widgets::SkinButton(this);
    button->setGeometry(geometry);
    button->setFont(font_);
    button->setText(caption);
    button->SetPainter([](QPainter& painter, const widgets::SkinButton& self) {
        widgets::PaintFlatTextButton(painter, self);
    });
    return button;
}

void RenameDialog::Apply() {
    const QString text = field_->text();
    // Empty, or text the agent could not announce (control characters).
    if (text.isEmpty() || text.size() > kMaxNameLength ||
        !agent::IsAcceptableName(text.toStdString())) {
        warning_ = true;
        warningTimer_.start();
        update();
        return;
    }
    name_ = text;
    done(QDialog::Accepted);
}

void RenameDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), widgets::palette::kPanelFace);
    painter.setPen(widgets::palette::kLightEdge);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.fillRect(kBox, Qt::white);
    painter.drawRect(kBox.adjusted(0, 0, -1, -1));
    painter.setPen(widgets::palette::kRule);
    painter.drawLine(6, 24, 243, 24);

    painter.setFont(font_);
    painter.setPen(Qt::black);
    widgets::DrawDoubledText(painter, 9, 8, QStringLiteral("New name"));
    if (warning_) {
        painter.setPen(widgets::palette::kGreyText);
        widgets::DrawTextAt(painter, QPoint(8, 69), QStringLiteral("Enter name"));
    }
}

}  // namespace quarn::endpoint_window
