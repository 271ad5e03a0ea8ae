#pragma once

#include <QPoint>
#include <QString>
#include <QWidget>

#include "console/core/console_data.h"
#include "widgets/window_mover.h"

class QListView;

namespace quarn::widgets {
class SkinButton;
}

namespace quarn::console::ui {

class LogListModel;

// A pair's iperf output, one row per line, live while a run goes on: a modeless
// top-level window that draws itself. It follows its pair by id: the log, and the name,
// route and marker of wherever the pair stands now. LogWindows closes it on New, Delete
// and Inactivate. Deletes itself when closed.
class LogWindow : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kWidth = 500;
    static constexpr int kHeight = 357;
    static constexpr const char* kNoData = "No measurement data.";

    LogWindow(const ConsoleData& data, PairId pair);

    PairId Pair() const { return pair_; }
    // The pair's row now (its marker), -1 once it is gone.
    int Row() const { return data_.table.RowOf(pair_); }
    // Reads the pair again: marker, name and route texts, window title.
    void Retitle();
    // Takes up the log's line count; `live` scrolls to the last line.
    void RefreshLog(bool live);
    // Shows the window centred over `owner` (or where the system puts it without one).
    void ShowCentredOver(const QWidget* owner);

    const QString& NameText() const { return nameText_; }
    const QString& RouteText() const { return routeText_; }
    // The pair's loss, jitter and round trips as the title area shows them.
    QString FiguresText() const;
    bool ListShown() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    const ConsoleData& data_;
    PairId pair_;
    QString nameText_;
    QString routeText_;
    LogListModel* model_;
    QListView* list_;
    widgets::SkinButton* closeButton_;
    widgets::SkinButton* smallCloseButton_;
};

}  // namespace quarn::console::ui
