#include "console/ui/recent_runs_list.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <algorithm>

#include "widgets/text.h"

namespace quarn::console::ui {

RecentRunsList::RecentRunsList(QWidget* parent) : QListWidget(parent) {
    setObjectName(QStringLiteral("recentRuns"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const std::string id = RunIdAt(row(item));
        if (!id.empty())
            emit runChosen(id);
    });
    hide();
}

void RecentRunsList::ShowRuns(const std::vector<records::RunInfo>& runs) {
    clear();
    auto* title = new QListWidgetItem(QString::fromLatin1(kTitle), this);
    title->setFlags(Qt::ItemIsEnabled);
    QFont bold = font();
    bold.setBold(true);
    title->setFont(bold);
    int shown = 0;
    for (auto run = runs.rbegin(); run != runs.rend() && shown < kShown; ++run) {
        if (run->running)
            continue;
        auto* item = new QListWidgetItem(widgets::FromUtf8(records::RecentRunText(*run)), this);
        item->setData(Qt::UserRole, widgets::FromUtf8(run->id));
        ++shown;
    }
    if (shown == 0) {
        auto* none = new QListWidgetItem(QStringLiteral("No runs in the history."), this);
        none->setFlags(Qt::ItemIsEnabled);
    }
}

std::string RecentRunsList::RunIdAt(int line) const {
    const QListWidgetItem* found = item(line);
    return found ? found->data(Qt::UserRole).toString().toStdString() : std::string();
}

void RecentRunsList::AddActions(QMenu& menu, int line) {
    const std::string id = RunIdAt(line);
    if (id.empty())
        return;
    connect(menu.addAction(QString::fromLatin1(kUseAsReference)), &QAction::triggered, this,
            [this, id] { emit referenceChosen(id); });
}

void RecentRunsList::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    AddActions(menu, row(itemAt(viewport()->mapFromGlobal(event->globalPos()))));
    if (!menu.isEmpty())
        menu.exec(event->globalPos());
}

void RecentRunsList::PlaceLeftOf(const QRect& panel) {
    const int lines = std::max(count(), 2);
    const int height = std::min(lines, kShown + 1) * (fontMetrics().height() + 4) + 6;
    setGeometry(panel.left() - kWidth, panel.top(), kWidth, height);
}

}  // namespace quarn::console::ui
