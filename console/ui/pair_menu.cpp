#include "console/ui/pair_menu.h"

#include "widgets/fonts.h"

namespace quarn::console::ui {

PairMenuEnabling ComputePairMenuEnabling(const PairMenuContext& c) {
    PairMenuEnabling e;
    const bool idle = c.mode == ConsoleMode::Idle;
    if (c.emptyArea) {
        e.exchange = e.remove = e.copy = c.selected >= 1;
        e.paste = !c.clipboardEmpty;
        e.showLog = false;
    } else {
        e.exchange = e.remove = e.copy = idle;
        e.showLog = true;
        e.paste = !c.clipboardEmpty && idle;
    }
    if (c.selected == 1) {
        e.showAsAddress = !c.singleShowsAddress;
        e.showAsName = c.singleShowsAddress;
    }
    if (!idle || c.selected == 0) {
        e.activate = e.inactivate = false;
    } else if (c.selected == 1) {
        e.activate = !c.singleActive;
        e.inactivate = c.singleActive;
    }
    // The reverses of the selected pairs, beside Paste's adds.
    e.bothWays = idle && c.selected >= 1;
    // The builders pair EndPoints from the lists, not the selected pairs.
    e.builders = idle && c.endPointsKnown;
    return e;
}

PairMenu::PairMenu(QWidget* parent) : QMenu(parent) {
    setFont(widgets::GulimFont(12));
    exchange = addAction(QStringLiteral("Exchange Position (&E)"));
    showLog = addAction(QStringLiteral("Show Log (&L)"));
    addSeparator();
    showAsAddress = addAction(QStringLiteral("Show EndPoint as IP address"));
    showAsName = addAction(QStringLiteral("Show EndPoint as a name"));
    addSeparator();
    activate = addAction(QStringLiteral("Activate"));
    inactivate = addAction(QStringLiteral("Inactivate"));
    addSeparator();
    copy = addAction(QStringLiteral("Copy (&C)"));
    paste = addAction(QStringLiteral("Paste(&P)"));
    bothWays = addAction(QStringLiteral("Add Both Ways (&B)"));
    mesh = addAction(QStringLiteral("Add Mesh of End Points 1 (&M)"));
    fanIn = addAction(QStringLiteral("Add Fan-in to End Point 2 (&I)"));
    fanOut = addAction(QStringLiteral("Add Fan-out from End Point 1 (&O)"));
    addSeparator();
    remove = addAction(QStringLiteral("Delete (&D)"));
}

void PairMenu::Apply(const PairMenuEnabling& e) {
    exchange->setEnabled(e.exchange);
    showLog->setEnabled(e.showLog);
    showAsAddress->setEnabled(e.showAsAddress);
    showAsName->setEnabled(e.showAsName);
    activate->setEnabled(e.activate);
    inactivate->setEnabled(e.inactivate);
    copy->setEnabled(e.copy);
    paste->setEnabled(e.paste);
    bothWays->setEnabled(e.bothWays);
    for (QAction* builder : {mesh, fanIn, fanOut})
        builder->setEnabled(e.builders);
    remove->setEnabled(e.remove);
}

}  // namespace quarn::console::ui
