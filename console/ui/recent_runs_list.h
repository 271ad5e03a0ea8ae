#pragma once

#include <QListWidget>

class QMenu;
#include <string>
#include <vector>

#include "console/records/run_history.h"

namespace quarn::console::ui {

// The File panel's "Recent runs": the newest runs of the history, one line each (date,
// duration, pairs, total average). Clicking a run asks for it to be opened by its id.
class RecentRunsList : public QListWidget {
    Q_OBJECT

  public:
    static constexpr const char* kTitle = "Recent runs";
    static constexpr int kWidth = 420;
    static constexpr int kShown = 8;
    static constexpr const char* kUseAsReference = "Use as reference";

    explicit RecentRunsList(QWidget* parent);

    // Shows the newest kShown of `runs` (given oldest first), newest on top; runs still
    // being written are left out.
    void ShowRuns(const std::vector<records::RunInfo>& runs);
    // The run id of a line, empty for the title line.
    std::string RunIdAt(int line) const;
    // The menu of a line: a run can be set as the chart's reference. Nothing for the
    // title line.
    void AddActions(QMenu& menu, int line);
    // Places the list beside the File panel's left edge, level with its top.
    void PlaceLeftOf(const QRect& panel);

  signals:
    void runChosen(const std::string& id);
    void referenceChosen(const std::string& id);

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

}  // namespace quarn::console::ui
