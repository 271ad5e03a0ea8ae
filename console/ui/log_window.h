#pragma once

#include <QPoint>
#include <QString>
#include <QWidget>

#include "console/core/pair_table.h"
#include "widgets/window_mover.h"

class QListView;

namespace quarn::widgets {
class SkinButton;
}

namespace quarn::console::ui {

class LogListModel;

// A pair's iperf output, one row per line, live while a run goes on: a modeless
// top-level window that draws itself. It reads the pair's log through the table and a
// row number; LogWindows re-points it when rows move and closes it on New, Delete and
// Inactivate. Deletes itself when closed.
class LogWindow : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kWidth = 500;
    static constexpr int kHeight = 357;
    static constexpr const char* kNoData = "No measurement data.";

    LogWindow(const PairTable& table, int row);

    int Row() const { return row_; }
    // Follows the pair to `row`: marker, name and route texts, window title.
    void Bind(int row);
    // Takes up the log's line count; `live` scrolls to the last line.
    void RefreshLog(bool live);
    // Shows the window centred over `owner` (or where the system puts it without one).
    void ShowCentredOver(const QWidget* owner);

    const QString& NameText() const { return nameText_; }
    const QString& RouteText() const { return routeText_; }
    // The pair's loss, jitter and round trips as the title area shows them.
    QString FiguresText() const;
    bool ListShown() const;
    QListView* List() const { return list_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    const PairTable& table_;
    int row_;
    QString nameText_;
    QString routeText_;
    LogListModel* model_;
    QListView* list_;
    widgets::SkinButton* closeButton_;
    widgets::SkinButton* smallCloseButton_;
};

}  // namespace quarn::console::ui
