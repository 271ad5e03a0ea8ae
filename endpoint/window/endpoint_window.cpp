#include "endpoint/window/endpoint_window.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QSocketNotifier>
#include <QToolTip>
#include <QWindow>

#include "endpoint/window/rename_dialog.h"
#include "platform/single_instance.h"
#include "version/version.h"
#include "widgets/cut_text_tip.h"
#include "widgets/flat_painting.h"
#include "widgets/fonts.h"
#include "widgets/palette.h"
#include "widgets/skin_button.h"
#include "widgets/text.h"

// Resources of a static library are registered by hand; the name is the .qrc's.
static void InitEndPointArt() {
    Q_INIT_RESOURCE(endpoint_window);
}

namespace quarn::endpoint_window {
namespace {

constexpr const char* kNoticeLines[] = {
    "The port required for EndPoint is in use by",
    "another program. Please terminate the program",
    "and run EndPoint again. (TCP port: 45000)",
};
const QPoint kNoticeAt[] = {{13, 75}, {12, 91}, {12, 107}};

const QColor kVersionColour(127, 127, 127);
const QColor& kNoticeColour = widgets::palette::kGreyText;

// The name's rectangle (73,64)-(206,75): one line, centred vertically, cut with "...".
const QRect kNameRect(73, 64, 133, 11);
const QPoint kAddressAt(73, 85);
const QPoint kStatusAt(73, 106);
// The address text stops at the content box's right edge rather than run over its frame.
constexpr int kAddressRight = 293;
// Filled white in port-in-use mode: (7,58)-(295,142).
const QRect kNoticeRect(7, 58, 288, 84);

}  // namespace

EndPointWindow::EndPointWindow(agent::AgentConfig config, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      agent_(std::make_unique<agent::Agent>(std::move(config), relay_)),
      normalFont_(widgets::GulimFont(12)),
      smallFont_(widgets::GulimFont(11)) {
    InitEndPointArt();
    ConnectAgentEvents();
    // The top band moves the window, as a caption would.
    widgets::WindowMover::Install(
        this, [](QPoint at) { return at.y() >= 0 && at.y() < kDragBandHeight; });
    background_.load(QStringLiteral(":/endpoint/background.png"));
    closeStrip_.load(QStringLiteral(":/endpoint/close.png"));
    minimiseStrip_.load(QStringLiteral(":/endpoint/minimise.png"));

    setWindowTitle(QStringLiteral("Tolvex Quarn EndPoint"));
    setWindowIcon(QIcon(QStringLiteral(":/endpoint/icon.png")));
    setFixedSize(kWidth, kHeight);
    // Everything is painted from the background picture up.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);

    closeButton_ = MakeImageButton(closeStrip_, QRect(280, 10, 12, 12));
    minimiseButton_ = MakeImageButton(minimiseStrip_, QRect(266, 10, 12, 12));
    exitButton_ = MakeTextButton(QStringLiteral("Exit"), QPoint(14, 5), QRect(244, 149, 52, 21));
    editButton_ = MakeTextButton(QStringLiteral("Edit"), QPoint(9, 3), QRect(209, 60, 41, 17));
    initButton_ = MakeTextButton(QStringLiteral("Init"), QPoint(12, 3), QRect(252, 60, 41, 17));
    const std::pair<QWidget*, const char*> names[] = {{closeButton_, "close"},
                                                      {minimiseButton_, "minimise"},
                                                      {exitButton_, "exit"},
                                                      {editButton_, "edit"},
                                                      {initButton_, "init"}};
    for (const auto& [button, name] : names)
        button->setObjectName(QString::fromLatin1(name));

    connect(closeButton_, &QAbstractButton::clicked, this, &EndPointWindow::Shutdown);
    connect(exitButton_, &QAbstractButton::clicked, this, &EndPointWindow::Shutdown);
    connect(minimiseButton_, &QAbstractButton::clicked, this, &QWidget::showMinimized);
    connect(editButton_, &QAbstractButton::clicked, this, &EndPointWindow::Rename);
    connect(initButton_, &QAbstractButton::clicked, this, &EndPointWindow::ResetName);
}

EndPointWindow::~EndPointWindow() {
    // The agent's threads post to this object: they end before it does.
    agent_->Shutdown();
}

void EndPointWindow::ConnectAgentEvents() {
    connect(&relay_, &AgentEventRelay::started, this,
            [this](const QString& name, const QString& address) {
                name_ = name;
                addressText_ = address;
                update();
            });
    connect(&relay_, &AgentEventRelay::nameChanged, this, [this](const QString& name) {
        name_ = name;
        update();
    });
    connect(&relay_, &AgentEventRelay::addressTextChanged, this, [this](const QString& address) {
        addressText_ = address;
        update();
    });
    connect(&relay_, &AgentEventRelay::statusChanged, this, [this](agent::AgentStatus status) {
        running_ = status == agent::AgentStatus::Running;
        update();
    });
    connect(&relay_, &AgentEventRelay::portInUse, this, [this] { EnterPortInUseMode(); });
}

widgets::SkinButton* EndPointWindow::MakeTextButton(const QString& caption, QPoint captionAt,
                                                    const QRect& geometry) {
    auto* button = new widgets::SkinButton(this);
    button->setGeometry(geometry);
    button->setFont(normalFont_);
    button->setText(caption);
    button->SetPainter([captionAt](QPainter& painter, const widgets::SkinButton& self) {
        widgets::PaintFlatTextButton(painter, self, captionAt);
    });
    return button;
}

widgets::SkinButton* EndPointWindow::MakeImageButton(const QPixmap& strip, const QRect& geometry) {
    auto* button = new widgets::SkinButton(this);
    button->setGeometry(geometry);
    // Normal image on the left half of the strip, hover image on the right.
    button->SetPainter([strip](QPainter& painter, const widgets::SkinButton& self) {
        const int w = self.width();
        painter.drawPixmap(0, 0, strip, self.IsHovered() ? w : 0, 0, w, self.height());
    });
    return button;
}

void EndPointWindow::StartAgent() {
    agent_->Start();
    ReadAgentIdentity();
}

void EndPointWindow::ReadAgentIdentity() {
    name_ = widgets::FromUtf8(agent_->DisplayName());
    addressText_ = widgets::FromUtf8(agent_->AddressText());
    running_ = agent_->Status() == agent::AgentStatus::Running;
    update();
}

void EndPointWindow::ListenForRaise(platform::SingleInstance& instance) {
    delete raiseNotifier_;
    raiseNotifier_ = nullptr;
    instance_ = &instance;
    if (instance.Fd() < 0) {
        return;
    }
    raiseNotifier_ = new QSocketNotifier(instance.Fd(), QSocketNotifier::Read, this);
    connect(raiseNotifier_, &QSocketNotifier::activated, this, [this] {
        if (instance_->TakeRaiseRequest()) {
            BringToFront();
        }
    });
}

void EndPointWindow::BringToFront() {
    if (isMinimized() || !isVisible()) {
        showNormal();
    }
    raise();
    activateWindow();
}

void EndPointWindow::Shutdown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    // An open rename dialog must not keep the program alive.
    if (renameDialog_ != nullptr) {
        renameDialog_->done(QDialog::Rejected);
    }
    agent_->Shutdown();
    close();
}

void EndPointWindow::closeEvent(QCloseEvent* event) {
    // Closed from outside (window manager, session end): the agent stops the same way.
    if (!shutDown_) {
        shutDown_ = true;
        agent_->Shutdown();
    }
    event->accept();
}

RenameDialog* EndPointWindow::OpenRenameDialog() const {
    return renameDialog_.data();
}

void EndPointWindow::Rename() {
    if (portInUse_ || renameDialog_ != nullptr) {
        return;
    }
    exitButton_->hide();
    auto* dialog = new RenameDialog(name_, normalFont_, this);
    renameDialog_ = dialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->move(mapToGlobal(QPoint((kWidth - dialog->width()) / 2, 42)));
    connect(dialog, &QDialog::finished, this, [this, dialog](int result) {
        renameDialog_ = nullptr;
        if (result == QDialog::Accepted) {
            // Used for this run even when it cannot be stored.
            agent_->Rename(dialog->Name().toStdString());
            name_ = widgets::FromUtf8(agent_->DisplayName());
            update();
        }
        exitButton_->show();
    });
    dialog->open();
}

void EndPointWindow::ResetName() {
    agent_->ResetName();
    name_ = widgets::FromUtf8(agent_->DisplayName());
    update();
}

void EndPointWindow::EnterPortInUseMode() {
    if (portInUse_) {
        return;
    }
    portInUse_ = true;
    editButton_->hide();
    initButton_->hide();
    update();
}

bool EndPointWindow::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    // A name or address cut with an ellipsis shows whole in its tooltip.
    const auto& help = *static_cast<QHelpEvent*>(event);
    const QFontMetrics metrics(normalFont_);
    const QRect addressArea(kAddressAt.x(), kAddressAt.y(), kAddressRight - kAddressAt.x(),
                            metrics.height());
    if (portInUse_ || (!widgets::ShowCutTextTip(help, this, kNameRect, name_, metrics) &&
                       !widgets::ShowCutTextTip(help, this, addressArea, addressText_, metrics))) {
        QToolTip::hideText();
        event->ignore();
    }
    return true;
}

void EndPointWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, background_);

    painter.setFont(smallFont_);
    painter.setPen(kVersionColour);
    widgets::DrawTextAt(painter, QPoint(265, 38), QString::fromLatin1(kVersionText));

    painter.setFont(normalFont_);
    if (portInUse_) {
        painter.fillRect(kNoticeRect, Qt::white);
        painter.setPen(kNoticeColour);
        for (int i = 0; i < 3; ++i) {
            widgets::DrawTextAt(painter, kNoticeAt[i], QString::fromLatin1(kNoticeLines[i]));
        }
        return;
    }
    const QFontMetrics metrics(normalFont_);
    painter.setPen(Qt::black);
    painter.drawText(kNameRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     metrics.elidedText(name_, Qt::ElideRight, kNameRect.width()));
    widgets::DrawTextAt(
        painter, kAddressAt,
        metrics.elidedText(addressText_, Qt::ElideRight, kAddressRight - kAddressAt.x()));
    widgets::DrawTextAt(painter, kStatusAt,
                        running_ ? QStringLiteral("Running") : QStringLiteral("Ready"));
}

}  // namespace quarn::endpoint_window
