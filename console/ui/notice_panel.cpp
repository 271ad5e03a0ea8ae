#include "console/ui/notice_panel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>

#include "widgets/animated_picture.h"
#include "widgets/artwork.h"
#include "widgets/flat_painting.h"
#include "widgets/fonts.h"
#include "widgets/palette.h"
#include "widgets/skin_button.h"

namespace quarn::console::ui {

namespace {

using quarn::console::NoticeKind;

constexpr int kIconCheck = 0;
constexpr int kIconQuestion = 1;
constexpr int kIconWarning = 2;
constexpr int kAnimationBackgroundMode = 25;

bool IsInputEvent(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::Enter:
        case QEvent::HoverEnter:
        case QEvent::HoverMove:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TabletPress:
            return true;
        default:
            return false;
    }
}

}  // namespace

NoticePanel::NoticePanel(QWidget* mainWindow)
    : QWidget(mainWindow),
      mainWindow_(mainWindow),
      confirm_(new widgets::SkinButton(this)),
      yes_(new widgets::SkinButton(this)),
      animation_(new widgets::AnimatedPicture(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    resize(kWidth, kHeight);
    confirm_->setObjectName(QStringLiteral("confirm"));
    yes_->setObjectName(QStringLiteral("yes"));
    animation_->setObjectName(QStringLiteral("noticeAnimation"));

    const QFont font = widgets::GulimFont(12);
    for (widgets::SkinButton* button : {confirm_, yes_}) {
        button->setFont(font);
        button->SetPainter([](QPainter& painter, const widgets::SkinButton& self) {
            widgets::PaintFlatTextButton(painter, self);
        });
    }
    confirm_->setGeometry(241, 89, 55, 22);
    yes_->setGeometry(182, 89, 55, 22);
    yes_->setText(QStringLiteral("Yes"));
    connect(confirm_, &QAbstractButton::clicked, this, &NoticePanel::Confirm);
    connect(yes_, &QAbstractButton::clicked, this, &NoticePanel::AnswerYes);

    animation_->setGeometry(21, 43, 21, 21);
    animation_->SetBackgroundMode(kAnimationBackgroundMode);
    animation_->LoadFromFile(QString::fromLatin1(widgets::kBusyAnimation));
    animation_->hide();

    if (mainWindow_) {
        mainWindow_->installEventFilter(this);  // to stay centred when it is resized
    }
    hide();
}

NoticePanel::~NoticePanel() {
    BlockMainWindow(false);
}

void NoticePanel::ShowNotice(NoticeKind kind, const QString& text) {
    kind_ = kind;
    question_ = false;
    verdictLine_.clear();
    switch (kind) {
        case NoticeKind::Completed:
            text_ = QString::fromLatin1(kCompletedText);
            icon_ = kIconCheck;
            break;
        case NoticeKind::Quit:
            text_ = QString::fromLatin1(kQuitText);
            icon_ = kIconQuestion;
            break;
        case NoticeKind::Message:
            text_ = text;
            icon_ = kIconWarning;
            break;
        case NoticeKind::Progress:
            text_ = text;
            icon_ = -1;
            break;
        case NoticeKind::Info:
            text_ = text;
            icon_ = kIconCheck;
            break;
    }
    yes_->setVisible(kind == NoticeKind::Quit);
    confirm_->setVisible(kind != NoticeKind::Progress);
    confirm_->setText(kind == NoticeKind::Quit ? QStringLiteral("No") : QStringLiteral("Confirm"));
    if (kind == NoticeKind::Progress) {
        animation_->show();
        if (!animation_->IsPlaying()) {
            animation_->Draw();
        }
    }
    BlockMainWindow(true);
    Centre();
    show();
    raise();
    if (!hasFocus()) {
        QWidget* focused = QApplication::focusWidget();
        if (focused && focused != this && !isAncestorOf(focused)) {
            focusBefore_ = focused;
        }
        setFocus(Qt::OtherFocusReason);
    }
    // The notice is activated, but only within this program: never taken from another one.
    if (QApplication::activeWindow() && QApplication::activeWindow() != window()) {
        window()->activateWindow();
    }
    update();
}

void NoticePanel::AskQuestion(const QString& text) {
    ShowNotice(NoticeKind::Quit);
    question_ = true;
    text_ = text;
    update();
}

void NoticePanel::SetVerdictLine(const QString& line) {
    verdictLine_ = line;
    update();
}

void NoticePanel::StopProgress() {
    animation_->Stop();
    animation_->hide();
}

void NoticePanel::Confirm() {
    const bool quitQuestion = kind_ == NoticeKind::Quit;
    const bool question = question_;
    question_ = false;
    Dismiss();
    if (question) {
        emit questionAnswered(false);
    } else if (quitQuestion) {
        emit quitAnswered(false);
    }
    emit closed();
}

void NoticePanel::AnswerYes() {
    if (kind_ != NoticeKind::Quit || !isVisible()) {
        return;
    }
    const bool question = question_;
    question_ = false;
    Dismiss();
    if (question) {
        emit questionAnswered(true);
    } else {
        emit quitAnswered(true);
    }
}

void NoticePanel::Dismiss() {
    BlockMainWindow(false);
    hide();
    if (focusBefore_) {
        focusBefore_->setFocus(Qt::OtherFocusReason);
    }
    focusBefore_.clear();
}

void NoticePanel::Centre() {
    if (mainWindow_) {
        move((mainWindow_->width() - kWidth) / 2, (mainWindow_->height() - kHeight) / 2);
    }
}

void NoticePanel::BlockMainWindow(bool block) {
    if (block == blocking_) {
        return;
    }
    blocking_ = block;
    if (block) {
        qApp->installEventFilter(this);
    } else {
        qApp->removeEventFilter(this);
    }
}

bool NoticePanel::BlocksEventFor(QObject* watched, const QEvent* event) const {
    if (!blocking_ || !mainWindow_ || !IsInputEvent(event->type()) || !watched->isWidgetType()) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    // Only the main window and its children lose their input; other windows keep theirs.
    return widget->window() == mainWindow_->window() && widget != this && !isAncestorOf(widget);
}

bool NoticePanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mainWindow_ && event->type() == QEvent::Resize && isVisible()) {
        Centre();
    }
    if (BlocksEventFor(watched, event)) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void NoticePanel::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // Enter answers every notice but the quit question, the progress notice included.
    if (enter && kind_ != NoticeKind::Quit) {
        Confirm();
        return;
    }
    event->accept();  // Escape and other keys do nothing
}

void NoticePanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    widgets::PaintRaisedFrame(painter, rect());
    painter.setPen(widgets::palette::kRule);
    painter.drawLine(6, 25, 296, 25);
    painter.drawLine(6, 84, 296, 84);

    painter.setFont(widgets::GulimFont(12));
    painter.setPen(Qt::black);
    widgets::DrawDoubledText(painter, 7, 9, QStringLiteral("Tolvex Quarn"));
    widgets::DrawTextAt(painter, 91, 9, QStringLiteral("Console"));

    if (icon_ >= 0) {
        painter.drawPixmap(
            16, 42,
            widgets::StripImage(QString::fromLatin1(widgets::kNoticeIconsStrip), icon_,
                                widgets::kNoticeIconWidth, widgets::kNoticeIconsTransparent));
    }
    painter.setPen(widgets::palette::kGreyText);
    // One line sits level with the icon; two are spread over the same band, three closer.
    const QStringList lines = text_.split(QLatin1Char('\n'));
    const qsizetype count = lines.size() + (verdictLine_.isEmpty() ? 0 : 1);
    const int top = count > 2 ? 32 : count > 1 ? 40 : 49;
    const int step = count > 2 ? 16 : 18;
    for (int line = 0; line < lines.size(); ++line) {
        widgets::DrawTextAt(painter, 47, top + step * line, lines[line]);
    }
    if (!verdictLine_.isEmpty()) {
        painter.setPen(Qt::black);
        const int y = top + step * static_cast<int>(lines.size());
        widgets::DrawTextAt(painter, 47, y,
                            painter.fontMetrics().elidedText(verdictLine_, Qt::ElideRight, 244));
    }
}

}  // namespace quarn::console::ui
