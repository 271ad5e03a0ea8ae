#include "console/ui/log_window.h"

#include <QKeyEvent>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QShortcut>
#include <QWindow>

#include "console/ui/log_list_model.h"
#include "console/ui/pair_tooltip.h"
#include "widgets/artwork.h"
#include "widgets/fonts.h"
#include "widgets/palette.h"
#include "widgets/skin_button.h"
#include "widgets/text.h"
#include "widgets/window_placement.h"

namespace quarn::console::ui {
namespace {

// The title area holds two lines: name and route, then the pair's figures.
const QRect kFiguresRect(17, 28, 470, 14);
const QRect kListRect(6, 45, 488, 276);

using widgets::FromUtf8;

}  // namespace

LogWindow::LogWindow(const ConsoleData& data, PairId pair)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      data_(data),
      pair_(pair),
      model_(new LogListModel(data.logs, pair, this)),
      list_(new QListView(this)),
      closeButton_(new widgets::SkinButton(this)),
      smallCloseButton_(new widgets::SkinButton(this)) {
    widgets::WindowMover::Install(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(kWidth, kHeight);
    setWindowIcon(widgets::ConsoleIcon());
    const QFont font = widgets::GulimFont(12);
    setFont(font);

    list_->setObjectName(QStringLiteral("lines"));
    list_->setGeometry(kListRect);
    list_->setModel(model_);
    list_->setItemDelegate(new LogRowDelegate(list_));
    list_->setUniformItemSizes(true);  // millions of lines: no per-row measuring
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setFrameShape(QFrame::NoFrame);
    // iperf aligns its columns with spaces: a fixed-pitch face keeps them aligned, and a
    // horizontal scroll bar shows the end of a line wider than the window.
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setTextElideMode(Qt::ElideNone);
    list_->setFont(widgets::MonoFont(12));
    QPalette palette = list_->palette();
    palette.setColor(QPalette::Base, Qt::white);
    list_->setPalette(palette);
    list_->hide();

    closeButton_->setGeometry(442, 329, 52, 21);
    closeButton_->setFont(font);
    closeButton_->SetPainter([](QPainter& painter, const widgets::SkinButton& button) {
        const QRect r = button.rect();
        painter.fillRect(r,
                         button.IsHovered() ? QColor(0xF3, 0xF8, 0xE2) : QColor(0xED, 0xED, 0xED));
        painter.setPen(QColor(0xBF, 0xBE, 0xBC));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        painter.setPen(Qt::black);
        painter.setFont(button.font());
        painter.drawText(QRect(10, 5, r.width() - 10, r.height() - 5),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         QStringLiteral("Close"));
    });
    smallCloseButton_->setGeometry(480, 7, 12, 12);
    smallCloseButton_->SetPainter(widgets::PaintSmallClose);
    connect(closeButton_, &QAbstractButton::clicked, this, &QWidget::close);
    connect(smallCloseButton_, &QAbstractButton::clicked, this, &QWidget::close);
    // Escape closes the window wherever the focus is inside it (the list takes keys).
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    Retitle();
}

void LogWindow::Retitle() {
    if (const PairRecord* pair = data_.table.Find(pair_)) {
        nameText_ = FromUtf8(pair->name);
        routeText_ = QStringLiteral("%1  > %2  Log")
                         .arg(FromUtf8(pair->config.endpoint1), FromUtf8(pair->config.endpoint2));
    }
    setWindowTitle(nameText_ + QLatin1Char(' ') + routeText_);
    update();
}

QString LogWindow::FiguresText() const {
    const PairRecord* pair = data_.table.Find(pair_);
    if (pair == nullptr) {
        return {};
    }
    return FromUtf8(PairFiguresSummary(pair->figures.quality, ShowsUdpFigures(*pair)));
}

void LogWindow::RefreshLog(bool live) {
    model_->Refresh();
    // The figures change with the lines that carry them.
    update(kFiguresRect);
    const int lines = model_->rowCount();
    if (lines > 0) {
        if (list_->isHidden()) {
            list_->show();
            update();
        }
        // Lines already shown may have become counted: their colour changes.
        list_->viewport()->update();
        if (live) {
            list_->scrollToBottom();
        }
    } else if (!list_->isHidden()) {
        list_->hide();
        update();
    }
}

bool LogWindow::ListShown() const {
    return !list_->isHidden();
}

void LogWindow::ShowCentredOver(const QWidget* owner) {
    widgets::CentreOver(*this, owner, QSize(kWidth, kHeight));
    show();
    raise();
    activateWindow();
}

void LogWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r = rect();
    painter.fillRect(r, widgets::palette::kPanelFace);
    painter.setPen(widgets::palette::kLightEdge);
    painter.drawLine(r.left(), r.top(), r.right(), r.top());
    painter.drawLine(r.left(), r.top(), r.left(), r.bottom());
    painter.setPen(widgets::palette::kGreyText);
    painter.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    painter.drawLine(r.right(), r.top(), r.right(), r.bottom());

    painter.drawPixmap(9, 13, 6, 6, QPixmap(widgets::MarkerPath(Row(), 6)));
    painter.setFont(font());
    painter.setPen(Qt::black);
    painter.drawText(QRect(17, 11, 40, 16), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     nameText_);
    painter.setPen(widgets::palette::kGreyText);
    painter.drawText(QRect(59, 11, 415, 16), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     routeText_);
    painter.drawText(kFiguresRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     FiguresText());
    if (list_->isHidden()) {
        painter.fillRect(kListRect, Qt::white);
        painter.setPen(Qt::black);
        painter.drawText(kListRect, Qt::AlignCenter | Qt::TextSingleLine,
                         QString::fromLatin1(kNoData));
    }
}

// A press anywhere on the window moves it, as the caption would.

// Enter does not close the window.
void LogWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            event->accept();
            return;
        default:
            QWidget::keyPressEvent(event);
    }
}

}  // namespace quarn::console::ui
