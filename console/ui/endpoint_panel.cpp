#include "console/ui/endpoint_panel.h"

#include <QPainter>

#include "console/ui/endpoint_list_box.h"
#include "widgets/animated_picture.h"
#include "widgets/artwork.h"
#include "widgets/flat_painting.h"
#include "widgets/fonts.h"
#include "widgets/palette.h"

namespace quarn::console::ui {
namespace {

const QColor& kFrame = widgets::palette::kLightEdge;
const QColor kTitleFill(225, 225, 225);
constexpr int kListTop = 21;
constexpr int kListWidth = 182;
constexpr int kListHeight = 231;

}  // namespace

EndPointPanel::EndPointPanel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(widgets::GulimFont(12));
    list1_ = new EndPointListBox(this);
    list2_ = new EndPointListBox(this);
    list1_->setGeometry(1, kListTop, kListWidth, kListHeight);
    list2_->setGeometry(1 + kListWidth + 1, kListTop, kListWidth, kListHeight);
    auto* animation = new widgets::AnimatedPicture(this);
    animation->SetBackgroundMode(0);
    animation->LoadFromFile(widgets::kBusyAnimation);
    animation->setGeometry(89, kHeight / 2 - 12, 21, 21);
    animation->hide();
    animation->setObjectName(QStringLiteral("searchAnimation"));
    animation_ = animation;
    ShowEmpty();
}

void EndPointPanel::ShowEntries(const std::vector<EndPointEntry>& entries) {
    list1_->SetEntries(entries);
    list2_->SetEntries(entries);
}

void EndPointPanel::ShowEmpty() {
    list1_->SetEmpty();
    list2_->SetEmpty();
}

void EndPointPanel::BeginSearch() {
    searching_ = true;
    list1_->hide();
    list2_->hide();
    animation_->show();
    static_cast<widgets::AnimatedPicture*>(animation_)->Draw();
    update();
}

void EndPointPanel::EndSearch() {
    searching_ = false;
    static_cast<widgets::AnimatedPicture*>(animation_)->Stop();
    animation_->hide();
    list1_->show();
    list2_->show();
    update();
}

std::optional<std::string> EndPointPanel::Selection(int list) const {
    return List(list)->SelectedAddress();
}

std::vector<std::string> EndPointPanel::Selections(int list) const {
    return List(list)->SelectedAddresses();
}

void EndPointPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kTitleFill);
    painter.setPen(kFrame);
    painter.drawRect(0, 0, width() - 1, height() - 1);
    painter.setPen(QColor(70, 70, 70));
    widgets::DrawTextAt(painter, 60, 5, QStringLiteral("End Point 1"));
    painter.drawPixmap(179, 5, QPixmap(widgets::kArrowPanel));
    widgets::DrawTextAt(painter, 243, 5, QStringLiteral("End Point 2"));
    painter.setPen(kFrame);
    painter.drawLine(1, kListTop - 1, width() - 2, kListTop - 1);
    if (searching_) {
        painter.fillRect(QRect(1, kListTop, width() - 2, kListHeight), Qt::white);
        painter.setPen(widgets::palette::kGreyText);
        widgets::DrawTextAt(painter, 115, 110, QStringLiteral("Searching for End Point"));
    } else {
        // The frame between the two lists.
        painter.drawLine(1 + kListWidth, kListTop, 1 + kListWidth, height() - 2);
    }
}

}  // namespace quarn::console::ui
