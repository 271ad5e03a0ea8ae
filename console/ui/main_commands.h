#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "console/core/pair_builders.h"
#include "console/core/pair_table.h"
#include "console/session/console_session.h"

class QWidget;

namespace quarn::console::ui {

class PairMenu;
class PairSettingDialog;

// What the commands read from the window's controls when they run.
class CommandInputs {
  public:
    virtual ~CommandInputs() = default;
    // The selected pairs, in list order.
    virtual std::vector<PairId> SelectedPairs() const = 0;
    virtual std::string DurationText() const = 0;
    virtual std::string ValueText() const = 0;
    // The address picked in EndPoint list 1 or 2, if any.
    virtual std::optional<std::string> EndPointSelection(int list) const = 0;
    // Every address selected in EndPoint list 1 or 2, in list order.
    virtual std::vector<std::string> EndPointSelections(int list) const {
        const std::optional<std::string> one = EndPointSelection(list);
        return one ? std::vector<std::string>{*one} : std::vector<std::string>{};
    }
    // Owner of the Pair Setting dialog and the pair menu.
    virtual QWidget* DialogParent() = 0;
};

// What the main window's buttons, protocol switch, context menu and shortcuts do, over
// the session: the table operations with their notices, the run's start and stop, the
// EndPoint search and the quit question. Notices and list redraws go through the
// session's view; what else the window must show comes as signals.
class MainCommands : public QObject {
    Q_OBJECT
  public:
    MainCommands(ConsoleSession& session, CommandInputs& inputs);
    ~MainCommands() override;

    void StartOrStop();
    // Asked first on each Start/Stop press; true when it has handled the press (a plan
    // that runs ends instead). Empty: none.
    void SetStopOverride(std::function<bool()> override) { stopOverride_ = std::move(override); }
    void AddManually();
    void DeleteSelected();
    void AddFromLists();
    void Search();
    void ToggleTotal();
    void SwitchProtocol(int index);
    void EditPair(PairId pair);
    void Copy();
    void Paste();
    // Adds the reverse of each selected pair that has none, with its streams and options,
    // so both directions run at once; refused, adding nothing, beyond the 16 pairs.
    void AddBothWays();
    // A mesh, fan-in or fan-out from the EndPoint lists' selections; pairs already in the
    // table are not added twice, and nothing is added beyond the 16 pairs.
    void AddBuilt(ListBuilder builder);
    void ExchangeSelected();
    void ShowSelectedAs(bool address);
    void ActivateSelected(bool active);
    void ShowLog();
    // The pair list's right click on a pair.
    void OpenItemMenu(PairId pair, QPoint globalPos);
    // A right click below the last item; false when no menu is offered.
    bool OpenEmptyAreaMenu(QPoint globalPos);
    void AskQuit();

    PairMenu* Menu() const { return menu_; }
    // The pair the menu was opened on; none below the last item.
    PairId ContextPair() const { return contextPair_; }
    const PairClipboard& Clipboard() const { return clipboard_; }

  protected:
    // Ctrl+C and Ctrl+V on the watched pair list.
    bool eventFilter(QObject* watched, QEvent* event) override;

  signals:
    // "Show Log" for a pair; the log window belongs to whoever listens.
    void showLogRequested(PairId pair);
    // The table's shape changed (rows added, deleted or pasted): the layout follows.
    void shapeChanged();
    // Pairs were deleted; the selection is gone.
    void pairsDeleted();
    // A search began; the EndPoint lists it showed are emptied.
    void searchStarted(bool listsShown);
    void totalToggled();
    // The protocol changed; the value box shows the new protocol's text.
    void protocolSwitched(const QString& valueText);
    // A pair's own pass lines changed; a measured run is judged again.
    void passLinesChanged();

  private:
    static constexpr std::chrono::milliseconds kFactsWait{1000};
    std::function<bool()> stopOverride_;
    void LearnOptionsTaken();
    void PrepareMenu(PairId contextPair, bool emptyArea);
    void AfterShapeChange();
    void RedrawList() { session_.View().RedrawList(); }
    void Notice(const std::string& text);

    ConsoleSession& session_;
    CommandInputs& inputs_;
    PairClipboard clipboard_;
    PairMenu* menu_;
    PairId contextPair_;
    // The selection whose unverified EndPoint the operator was told about: adding it
    // again pairs it.
    std::optional<std::pair<std::optional<std::string>, std::optional<std::string>>> warned_;
};

}  // namespace quarn::console::ui
