#include "console/ui/pass_line_fields.h"

#include <QLineEdit>
#include <QPainter>

#include "widgets/flat_painting.h"
#include "widgets/fonts.h"
#include "widgets/palette.h"
#include "widgets/text.h"

namespace quarn::console::ui {
namespace {

constexpr int kFirstRow = 20;
using pass_line_layout::kFieldLeft;
using pass_line_layout::kFieldWidth;

using pass_line_layout::kLabels;
using pass_line_layout::kUnits;

QRect FrameOf(int index) {
    return QRect(kFieldLeft - 5, kFirstRow + index * PassLineFields::kRowStep, kFieldWidth + 10,
                 20);
}

}  // namespace

std::array<QLineEdit*, pass_line_layout::kFields> pass_line_layout::MakeFields(
    QWidget* parent, const PassLines& lines, const QString& name, int firstTop) {
    const PassLineTexts texts = TextsOf(lines);
    const std::string* values[kFields] = {&texts.minThroughput, &texts.maxLoss, &texts.maxJitter,
                                          &texts.maxRttRise, &texts.maxBaselineDrop};
    std::array<QLineEdit*, kFields> fields{};
    for (int i = 0; i < kFields; ++i) {
        auto* edit = new QLineEdit(parent);
        edit->setObjectName(name + QString::number(i));
        edit->setFrame(false);
        edit->setMaxLength(kMaxLength);
        edit->setFont(widgets::GulimFont(12));
        edit->setTextMargins(0, 0, 0, 0);
        edit->setGeometry(kFieldLeft, firstTop + i * kRowStep + 4, kFieldWidth, 14);
        edit->setText(widgets::FromUtf8(*values[i]));
        fields[static_cast<std::size_t>(i)] = edit;
    }
    return fields;
}

PassLineFields::PassLineFields(const PassLines& lines, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pairPassLines"));
    setFont(widgets::GulimFont(12));
    fields_ = pass_line_layout::MakeFields(this, lines, QStringLiteral("pairPassLine"), kFirstRow);
}

std::optional<PassLines> PassLineFields::Lines(std::string& refusal) const {
    const auto text = [this](int i) { return Field(i)->text().toStdString(); };
    return ParsePassLineTexts({text(0), text(1), text(2), text(3), text(4)}, refusal);
}

void PassLineFields::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (int i = 0; i < kFields; ++i) {
        painter.fillRect(FrameOf(i), Qt::white);
        painter.setPen(widgets::palette::kLightEdge);
        painter.drawRect(FrameOf(i).adjusted(0, 0, -1, -1));
    }
    painter.setFont(widgets::GulimFont(12));
    painter.setPen(widgets::palette::kGreyText);
    widgets::DrawTextAt(painter, 8, 3,
                        QStringLiteral("Pass lines of this pair (empty: the run's)"));
    for (int i = 0; i < kFields; ++i)
        widgets::DrawTextAt(painter, pass_line_layout::kUnitLeft, FrameOf(i).top() + 4,
                            QString::fromLatin1(kUnits[i]));
    painter.setPen(Qt::black);
    for (int i = 0; i < kFields; ++i)
        widgets::DrawTextAt(painter, 8, FrameOf(i).top() + 4, QString::fromLatin1(kLabels[i]));
}

}  // namespace quarn::console::ui
