#include "console/ui/pair_setting_dialog.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QWindow>
#include <algorithm>
#include <chrono>

#include "console/core/pair_table.h"
#include "console/ui/traffic_options_box.h"
#include "platform/host_lookup.h"
#include "widgets/artwork.h"
#include "widgets/flat_painting.h"
#include "widgets/fonts.h"
#include "widgets/palette.h"
#include "widgets/skin_button.h"
#include "widgets/skin_combo.h"
#include "widgets/text.h"

namespace quarn::console::ui {

namespace {

const QRect kAddressFrame1(QPoint(50, 51), QPoint(149, 71));
const QRect kAddressFrame2(QPoint(164, 51), QPoint(263, 71));
const QRect kHintRect(QPoint(94, 3), QPoint(296, 25));
// Longer than this and Add feels stuck; a name the local sources know answers at once.
constexpr std::chrono::milliseconds kLookupLimit{1500};

void PaintSwapButton(QPainter& painter, const widgets::SkinButton& button) {
    painter.fillRect(button.rect(), widgets::palette::kPanelFace);
    painter.drawPixmap(
        0, 0,
        widgets::StripImage(QString::fromLatin1(widgets::kSwapStrip), button.IsHovered() ? 1 : 0,
                            widgets::kSwapSize, QColor(Qt::white)));
}

QLineEdit* MakeAddressEdit(QWidget* parent, int x, const std::string& text) {
    auto* edit = new QLineEdit(parent);
    edit->setFrame(false);
    edit->setMaxLength(PairSettingDialog::kAddressLength);
    edit->setFont(widgets::GulimFont(12));
    edit->setTextMargins(0, 0, 0, 0);
    edit->setGeometry(x, 55, 89, 14);
    edit->setText(widgets::FromUtf8(text));
    return edit;
}

}  // namespace

PairSettingDialog::PairSettingDialog(bool addMode, const PairConfig& record, bool udp,
                                     QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      addMode_(addMode),
      udp_(udp),
      originalParallel_(record.parallel),
      edit1_(MakeAddressEdit(this, 55, addMode ? std::string() : record.endpoint1)),
      edit2_(MakeAddressEdit(this, 169, addMode ? std::string() : record.endpoint2)),
      connections_(new widgets::SkinCombo(this)),
      add_(new widgets::SkinButton(this)),
      cancel_(new widgets::SkinButton(this)),
      swap_(new widgets::SkinButton(this)),
      trafficBox_(new TrafficOptionsBox(addMode ? TrafficOptions{} : record.traffic, udp, this)),
      traffic_(addMode ? TrafficOptions{} : record.traffic),
      passLines_(new PassLineFields(record.passLines, this)),
      lines_(record.passLines) {
    // A press anywhere on the dialog moves it, as a caption would.
    widgets::WindowMover::Install(this);
    connections_->setObjectName(QStringLiteral("connections"));
    add_->setObjectName(QStringLiteral("add"));
    cancel_->setObjectName(QStringLiteral("cancel"));
    swap_->setObjectName(QStringLiteral("swap"));
    setModal(true);
    setFixedSize(kWidth, kHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(widgets::GulimFont(12));

    connections_->setGeometry(92, 79, 57, 20);
    connections_->setFont(widgets::GulimFont(12));
    for (int streams = 1; streams <= PairTable::kMaxPairs; ++streams) {
        connections_->addItem(QString::number(streams));
    }
    const int parallel = addMode ? 1 : std::clamp(record.parallel, 1, PairTable::kMaxPairs);
    connections_->setCurrentIndex(parallel - 1);
    connections_->setEnabled(!udp);

    add_->setText(addMode ? QStringLiteral("Add") : QStringLiteral("Apply"));
    cancel_->setText(QStringLiteral("Cancel"));
    trafficBox_->setGeometry(6, kTrafficTop, 290, TrafficOptionsBox::kHeight);
    add_->setGeometry(244, kHeight - 26, 52, 21);
    cancel_->setGeometry(188, kHeight - 26, 52, 21);
    passLines_->setGeometry(0, kPassLinesTop, kWidth, PassLineFields::kHeight);
    swap_->setGeometry(271, 51, widgets::kSwapSize, widgets::kSwapSize);
    for (widgets::SkinButton* button : {add_, cancel_}) {
        button->setFont(widgets::GulimFont(12));
        // Captions two pixels below the centre.
        button->SetPainter([](QPainter& painter, const widgets::SkinButton& self) {
            widgets::PaintFlatTextButton(painter, self, std::nullopt, 2);
        });
    }
    swap_->SetPainter(PaintSwapButton);
    connect(add_, &QAbstractButton::clicked, this, &PairSettingDialog::Confirm);
    connect(cancel_, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(swap_, &QAbstractButton::clicked, this, &PairSettingDialog::Swap);

    lookup_ = [](const std::string& name) { return platform::LookUpIpv4(name, kLookupLimit); };
    hintTimer_.setSingleShot(true);
    hintTimer_.setInterval(kHintMs);
    connect(&hintTimer_, &QTimer::timeout, this, &PairSettingDialog::HideHint);
    edit1_->setFocus();
}

std::string PairSettingDialog::Endpoint1() const {
    return entries_[0].accepted ? entries_[0].address : edit1_->text().toStdString();
}

std::string PairSettingDialog::Endpoint2() const {
    return entries_[1].accepted ? entries_[1].address : edit2_->text().toStdString();
}

int PairSettingDialog::Parallel() const {
    // Under UDP the choice is off: an edited pair keeps what it had.
    if (udp_ && !addMode_) {
        return originalParallel_;
    }
    return connections_->currentIndex() + 1;
}

PairConfig PairSettingDialog::NewConfig() const {
    PairConfig config;
    config.endpoint1 = Endpoint1();
    config.endpoint2 = Endpoint2();
    config.parallel = Parallel();
    config.traffic = traffic_;
    config.passLines = lines_;
    return config;
}

void PairSettingDialog::Confirm() {
    if (edit1_->text().isEmpty() || edit2_->text().isEmpty()) {
        ShowHint(QString::fromLatin1(kHintText));
        return;
    }
    if (!CheckTraffic() || !CheckAddresses() || !CheckPassLines())
        return;
    hintTimer_.stop();
    HideHint();
    accept();
}

// A field that is neither an address nor a name of one address keeps the dialog open,
// with the reason where the empty-field hint goes and that field selected for retyping.
bool PairSettingDialog::CheckAddresses() {
    QLineEdit* edits[] = {edit1_, edit2_};
    for (int i = 0; i < 2; ++i) {
        const std::string text = edits[i]->text().trimmed().toStdString();
        entries_[i] = CheckAddressEntry(text, lookup_);
        if (!entries_[i].accepted) {
            ShowHint(widgets::FromUtf8(entries_[i].refusal));
            entries_[1] = entries_[0] = AddressEntry{};
            edits[i]->setFocus();
            edits[i]->selectAll();
            return false;
        }
    }
    return true;
}

bool PairSettingDialog::CheckTraffic() {
    std::string refusal;
    const std::optional<TrafficOptions> read = trafficBox_->Read(refusal);
    if (!read) {
        ShowHint(widgets::FromUtf8(refusal));
        return false;
    }
    traffic_ = *read;
    return true;
}

// A line that is no value keeps the dialog open with the reason where the hint goes.
bool PairSettingDialog::CheckPassLines() {
    std::string refusal;
    const std::optional<PassLines> lines = passLines_->Lines(refusal);
    if (!lines) {
        ShowHint(widgets::FromUtf8(refusal));
        return false;
    }
    lines_ = *lines;
    return true;
}

void PairSettingDialog::ShowHint(const QString& text) {
    // Every refused try shows the hint for the full two seconds again.
    hintText_ = text;
    hintTimer_.start();
    hintShown_ = true;
    update(kHintRect);
}

void PairSettingDialog::Swap() {
    const QString first = edit1_->text();
    edit1_->setText(edit2_->text());
    edit2_->setText(first);
}

void PairSettingDialog::HideHint() {
    hintShown_ = false;
    update(kHintRect);
}

void PairSettingDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            Confirm();
            return;
        case Qt::Key_Escape:
            event->accept();  // only Cancel cancels
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void PairSettingDialog::closeEvent(QCloseEvent* event) {
    event->ignore();  // no close box: only Add/Apply and Cancel end the dialog
}

void PairSettingDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    widgets::PaintRaisedFrame(painter, rect());
    for (const QRect& frame : {kAddressFrame1, kAddressFrame2}) {
        painter.fillRect(frame, Qt::white);
        painter.setPen(widgets::palette::kLightEdge);
        painter.drawRect(frame.adjusted(0, 0, -1, -1));
    }
    painter.setPen(widgets::palette::kRule);
    painter.drawLine(6, 25, 296, 25);
    painter.drawLine(6, 107 + kTrafficShift, 296, 107 + kTrafficShift);
    painter.drawLine(6, kHeight - 31, 296, kHeight - 31);

    painter.setFont(widgets::GulimFont(12));
    painter.setPen(Qt::black);
    widgets::DrawDoubledText(painter, 8, 8, QStringLiteral("Pair Setting"));
    widgets::DrawTextAt(painter, 9, 55, QStringLiteral("IP"));
    widgets::DrawTextAt(painter, 21, 55, QStringLiteral("addr"));
    widgets::DrawTextAt(painter, 8, 84, QStringLiteral("Connections"));

    painter.drawPixmap(152, 56,
                       widgets::StripImage(QString::fromLatin1(widgets::kArrowSmall), 0, 10,
                                           widgets::kArrowSmallTransparent));

    painter.setPen(widgets::palette::kGreyText);
    widgets::DrawTextAt(painter, 55, 35, QStringLiteral("End Point 1"));
    widgets::DrawTextAt(painter, 169, 35, QStringLiteral("End Point 2"));
    if (hintShown_) {
        const QString shown =
            painter.fontMetrics().elidedText(hintText_, Qt::ElideRight, kHintRect.width());
        painter.drawText(kHintRect, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }
}

}  // namespace quarn::console::ui
