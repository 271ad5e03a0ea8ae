#include "console/ui/help_window.h"

#include <QShortcut>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QWindow>

#include "version/version.h"
#include "widgets/artwork.h"
#include "widgets/fonts.h"
#include "widgets/palette.h"
#include "widgets/skin_button.h"
#include "widgets/window_placement.h"

namespace quarn::console::ui {
namespace {

const QRect kCaptionRect(1, 1, 816, 30);

QPointer<HelpWindow>& OpenWindow() {
    static QPointer<HelpWindow> window;
    return window;
}

}  // namespace

HelpWindow* HelpWindow::Open(const QWidget* owner) {
    QPointer<HelpWindow>& open = OpenWindow();
    if (open) {
        open->raise();
        open->activateWindow();
        return open.data();
    }
    auto* window = new HelpWindow();
    open = window;
    widgets::CentreOver(*window, owner, QSize(kWidth, kHeight));
    window->show();
    return window;
}

bool HelpWindow::IsOpen() {
    return !OpenWindow().isNull();
}

QStringList HelpWindow::PageCandidates() {
    const QString name = QString::fromLatin1(kPageName);
    const QString programDir = QCoreApplication::applicationDirPath();
    QStringList candidates{QDir(programDir).filePath(name),
                           QDir(programDir).filePath(QStringLiteral("../share/quarn/") + name)};
#ifdef QUARN_HELP_INSTALL_DIR
    candidates << QDir(QStringLiteral(QUARN_HELP_INSTALL_DIR)).filePath(name);
#endif
#ifdef QUARN_HELP_SOURCE_DIR
    candidates << QDir(QStringLiteral(QUARN_HELP_SOURCE_DIR)).filePath(name);
#endif
    for (QString& candidate : candidates) {
        candidate = QDir::cleanPath(candidate);
    }
    candidates.removeDuplicates();
    return candidates;
}

QString HelpWindow::FindPage() {
    for (const QString& candidate : PageCandidates()) {
        if (QFileInfo(candidate).isFile()) {
            return candidate;
        }
    }
    return {};
}

HelpWindow::HelpWindow()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      browser_(new QTextBrowser(this)),
      closeButton_(new widgets::SkinButton(this)) {
    browser_->setObjectName(QStringLiteral("browser"));
    // Only the title strip moves the window.
    widgets::WindowMover::Install(this, [](QPoint at) { return kCaptionRect.contains(at); });
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowTitle(QStringLiteral("Manual"));
    setWindowIcon(widgets::ConsoleIcon());
    setFixedSize(kWidth, kHeight);
    setFont(widgets::GulimFont(12));

    closeButton_->setGeometry(796, 10, 12, 12);
    closeButton_->SetPainter(widgets::PaintSmallClose);
    connect(closeButton_, &QAbstractButton::clicked, this, &QWidget::close);
    // Escape closes it wherever the focus is inside, as it does for the log window.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    browser_->setGeometry(5, 36, 808, 718);
    browser_->setOpenExternalLinks(true);
    pagePath_ = FindPage();
    if (pagePath_.isEmpty()) {
        browser_->setHtml(
            QStringLiteral("<p>The manual page <b>%1</b> was not found beside the program "
                           "or in share/quarn.</p>")
                .arg(QString::fromLatin1(kPageName)));
    } else {
        browser_->setSource(QUrl::fromLocalFile(pagePath_));
    }
}

void HelpWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r = rect();
    painter.fillRect(r, widgets::palette::kWindowFace);
    painter.setPen(QColor(0xC3, 0xC3, 0xC3));
    painter.drawLine(0, 0, r.right(), 0);
    painter.drawLine(0, 0, 0, r.bottom());
    painter.drawLine(r.right(), 0, r.right(), r.bottom());
    painter.drawLine(0, r.bottom(), r.right(), r.bottom());
    painter.drawPixmap(1, 1, 816, 31, QPixmap(QString::fromLatin1(widgets::kTitleHelp)));
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(35, 11, 200, 16), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     QStringLiteral("Manual"));
    painter.drawText(QRect(762, 11, 30, 16), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     QString::fromLatin1(kVersionText));
}

}  // namespace quarn::console::ui
