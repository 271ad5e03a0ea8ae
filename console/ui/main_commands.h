#pragma once

#include <QObject>
#include <QPoint>
#include <vector>

#include "console/core/endpoint_entry.h"
#include "console/core/pair_table.h"
#include "console/session/search_runner.h"

namespace quarn::console::ui {

class MainWindow;
class PairMenu;

// What the main window's buttons, protocol switch, context menu and shortcuts do, over
// the core: the table operations with their notices, the run's start and stop, the
// EndPoint search and the quit question.
class MainCommands : public QObject {
    Q_OBJECT
  public:
    static constexpr const char* kNoEndPointFound = "No End Point found.";

    explicit MainCommands(MainWindow& window);
    ~MainCommands() override;

    void StartOrStop();
    void AddManually();
    void DeleteSelected();
    void AddFromLists();
    void Search();
    void ToggleTotal();
    void SwitchProtocol(int index);
    void EditPair(int item);
    void Copy();
    void Paste();
    void ExchangeSelected();
    void ShowSelectedAs(bool address);
    void ActivateSelected(bool active);
    void ShowLog();
    // The pair list's right click on an item.
    void OpenItemMenu(int item, QPoint globalPos);
    // A right click below the last item; false when no menu is offered.
    bool OpenEmptyAreaMenu(QPoint globalPos);
    void AskQuit();
    // Cancels and joins a running search (its result is dropped once the dispatcher is
    // closed).
    void StopSearch();

    PairMenu* Menu() const { return menu_; }
    int ContextRow() const { return contextRow_; }
    const PairClipboard& Clipboard() const { return clipboard_; }
    // Rows (list item + 1) of the selected pairs, in ascending order.
    std::vector<int> SelectedRows() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  signals:
    // "Show Log" for a row; the log window belongs to whoever listens.
    void showLogRequested(int row);
    // The table's shape changed (rows added, deleted or pasted).
    void rowsChanged();

  private:
    void OnSearchDone(std::vector<EndPointEntry> found);
    void StoreSettingTexts();
    void PrepareMenu(int contextRow);
    void AfterShapeChange();
    void Notice(const std::string& text);

    MainWindow& window_;
    PairClipboard clipboard_;
    SearchRunner search_;
    PairMenu* menu_;
    int contextRow_ = -1;
};

}  // namespace quarn::console::ui
