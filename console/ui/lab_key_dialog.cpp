#include "console/ui/lab_key_dialog.h"

#include <QPainter>

#include "widgets/flat_painting.h"
#include "widgets/fonts.h"
#include "widgets/palette.h"
#include "widgets/skin_button.h"

namespace quarn::console::ui {
namespace {

constexpr int kTextLeft = 8;
constexpr int kTextWidth = LabKeyDialog::kWidth - 2 * kTextLeft;

widgets::SkinButton* MakeButton(QWidget* parent, const char* name, const QString& text,
                                QRect where) {
    auto* button = new widgets::SkinButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(text);
    button->setFont(widgets::GulimFont(12));
    button->setGeometry(where);
    button->SetPainter([](QPainter& painter, const widgets::SkinButton& self) {
        widgets::PaintFlatTextButton(painter, self, std::nullopt, 2);
    });
    return button;
}

}  // namespace

LabKeyDialog::LabKeyDialog(const QString& path, bool fromCommandLine, const QString& refusal,
                           QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), refusal_(refusal) {
    widgets::WindowMover::Install(this);
    setModal(true);
    const int height = kHeight + (refusal_.isEmpty() ? 0 : kRefusalHeight);
    setFixedSize(kWidth, height);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(widgets::GulimFont(12));
    if (path.isEmpty()) {
        status_ = QStringLiteral("No lab key in use");
        note_ = QStringLiteral("Pairs run unauthenticated.");
    } else {
        status_ = QStringLiteral("In use: ") + path;
        note_ = fromCommandLine ? QStringLiteral("Given with --lab-key for this start.")
                                : QStringLiteral("Used again at the next start.");
    }
    const int row = height - 26;
    auto* choose =
        MakeButton(this, "choose", QStringLiteral("Choose file..."), QRect(112, row, 76, 21));
    auto* clear = MakeButton(this, "clear", QStringLiteral("Clear"), QRect(192, row, 52, 21));
    auto* close = MakeButton(this, "close", QStringLiteral("Close"), QRect(248, row, 48, 21));
    clear->setEnabled(!path.isEmpty());
    connect(choose, &QAbstractButton::clicked, this, [this] { done(kChoose); });
    connect(clear, &QAbstractButton::clicked, this, [this] { done(kClear); });
    connect(close, &QAbstractButton::clicked, this, &QDialog::reject);
}

void LabKeyDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    widgets::PaintRaisedFrame(painter, rect());
    painter.setPen(widgets::palette::kRule);
    painter.drawLine(6, 25, kWidth - 6, 25);
    painter.drawLine(6, height() - 31, kWidth - 6, height() - 31);
    painter.setFont(widgets::GulimFont(12));
    painter.setPen(Qt::black);
    widgets::DrawDoubledText(painter, kTextLeft, 8, QStringLiteral("Lab key"));
    // A long path keeps its end, where the file's name is.
    widgets::DrawTextAt(painter, kTextLeft, 35,
                        painter.fontMetrics().elidedText(status_, Qt::ElideMiddle, kTextWidth));
    painter.setPen(widgets::palette::kGreyText);
    widgets::DrawTextAt(painter, kTextLeft, 53, note_);
    if (!refusal_.isEmpty()) {
        // A path and its reason are long: they wrap, anywhere if need be.
        painter.setPen(Qt::black);
        painter.drawText(QRect(kTextLeft, 72, kTextWidth, kRefusalHeight + 2),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere, refusal_);
    }
}

}  // namespace quarn::console::ui
