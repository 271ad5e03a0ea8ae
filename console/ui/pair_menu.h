#pragma once

#include <QMenu>

#include "console/core/pair_state.h"

namespace quarn::console::ui {

// What decides which commands of the pair context menu are offered.
struct PairMenuContext {
    bool emptyArea = false;  // the click was below the last item
    ConsoleMode mode = ConsoleMode::Idle;
    int selected = 0;  // number of selected pairs
    bool clipboardEmpty = true;
    bool singleActive = true;        // with one selected pair: it is active
    bool singleShowsAddress = true;  // with one selected pair: it shows addresses
    bool endPointsKnown = false;     // the EndPoint lists hold a search's EndPoints
};

struct PairMenuEnabling {
    bool exchange = true;
    bool showLog = true;
    bool showAsAddress = true;
    bool showAsName = true;
    bool activate = true;
    bool inactivate = true;
    bool copy = true;
    bool paste = true;
    bool bothWays = true;
    bool builders = true;  // mesh, fan-in and fan-out from the EndPoint lists
    bool remove = true;
};

PairMenuEnabling ComputePairMenuEnabling(const PairMenuContext& context);

// The pair list's context menu; its items enable themselves each time it opens.
class PairMenu : public QMenu {
    Q_OBJECT
  public:
    explicit PairMenu(QWidget* parent);

    void Apply(const PairMenuEnabling& enabling);

    QAction* exchange;
    QAction* showLog;
    QAction* showAsAddress;
    QAction* showAsName;
    QAction* activate;
    QAction* inactivate;
    QAction* copy;
    QAction* paste;
    QAction* bothWays;
    QAction* mesh;
    QAction* fanIn;
    QAction* fanOut;
    QAction* remove;
};

}  // namespace quarn::console::ui
