#include "console/ui/file_panel.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "widgets/fonts.h"
#include "widgets/palette.h"
#include "widgets/skin_button.h"

namespace quarn::console::ui {
namespace {

const QColor kLineColour(0x82, 0x82, 0x82);
const QColor& kHoverColour = widgets::palette::kSelection;

struct ButtonSpec {
    FileCommand command;
    const char* label;
    const char* name;
    int top;
};
constexpr ButtonSpec kButtons[] = {{FileCommand::New, "New", "new", 1},
                                   {FileCommand::Open, "Open", "open", 23},
                                   {FileCommand::Save, "Save", "save", 45},
                                   {FileCommand::SaveAs, "Save as", "saveAs", 67}};

}  // namespace

FilePanel::FilePanel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    resize(kWidth, kHeight);
    setFont(widgets::GulimFont(12));
    for (const ButtonSpec& spec : kButtons) {
        widgets::SkinButton* button = AddButton(spec.label, spec.name, spec.top);
        const FileCommand command = spec.command;
        connect(button, &QAbstractButton::clicked, this, [this, command] { Clicked(command); });
    }
    connect(AddButton("Run plan...", "runPlan", 89), &QAbstractButton::clicked, this, [this] {
        hide();
        emit runPlanChosen();
    });
    hide();
}

widgets::SkinButton* FilePanel::AddButton(const char* label, const char* name, int top) {
    auto* button = new widgets::SkinButton(this);
    button->setGeometry(1, top, 110, 21);
    button->setText(QString::fromLatin1(label));
    button->setObjectName(QString::fromLatin1(name));
    button->setFont(font());
    button->SetPainter([](QPainter& painter, const widgets::SkinButton& b) {
        painter.fillRect(b.rect(), b.IsHovered() ? kHoverColour : QColor(Qt::white));
        painter.setPen(Qt::black);
        painter.setFont(b.font());
        painter.drawText(b.rect().adjusted(5, 5, 0, 0),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, b.text());
    });
    button->installEventFilter(this);
    return button;
}

void FilePanel::Toggle() {
    setVisible(isHidden());
    if (isVisible()) {
        raise();
    }
}

void FilePanel::PlaceFor(int width) {
    move(width - kWidth, 31);
}

void FilePanel::showEvent(QShowEvent* event) {
    QCoreApplication::instance()->installEventFilter(this);
    QWidget::showEvent(event);
    emit visibilityChanged(true);
}

void FilePanel::hideEvent(QHideEvent* event) {
    QCoreApplication::instance()->removeEventFilter(this);
    QWidget::hideEvent(event);
    emit visibilityChanged(false);
}

bool FilePanel::PressOutside(QObject* watched, const QEvent* event) const {
    if (event->type() != QEvent::MouseButtonPress) {
        return false;
    }
    const auto* mouse = static_cast<const QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton && mouse->button() != Qt::RightButton) {
        return false;
    }
    const auto* widget = qobject_cast<const QWidget*>(watched);
    if (!widget) {
        return false;
    }
    if (widget->window() != window()) {
        return true;  // another window
    }
    // By position: a press a child ignores comes again for each of its parents.
    const QPoint global = mouse->globalPosition().toPoint();
    const bool onPanel = rect().contains(mapFromGlobal(global));
    const bool onToggle = toggleButton_ && toggleButton_->isVisible() &&
                          toggleButton_->rect().contains(toggleButton_->mapFromGlobal(global));
    const bool onCompanion = companion_ && companion_->isVisible() &&
                             companion_->rect().contains(companion_->mapFromGlobal(global));
    return !onPanel && !onToggle && !onCompanion;
}

void FilePanel::Clicked(FileCommand command) {
    hide();
    emit commandChosen(command);
}

void FilePanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r = rect();
    painter.fillRect(r, Qt::white);
    painter.setPen(kLineColour);
    painter.drawRect(r.adjusted(0, 0, -1, -1));
    for (const int y : {22, 44, 66, 88}) {
        painter.drawLine(0, y, r.right(), y);
    }
}

// Keys never operate the panel's buttons.
void FilePanel::keyPressEvent(QKeyEvent* event) {
    event->accept();
}

void FilePanel::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
}

bool FilePanel::eventFilter(QObject* watched, QEvent* event) {
    if (isVisible() && PressOutside(watched, event)) {
        hide();
        return false;  // the press still does what it does there
    }
    const bool ownButton = watched->parent() == this;
    if (!ownButton) {
        return QWidget::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
            return true;
        default:
            return QWidget::eventFilter(watched, event);
    }
}

}  // namespace quarn::console::ui
