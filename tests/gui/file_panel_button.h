#pragma once

#include <QWidget>

#include "console/files/file_flow.h"
#include "tests/gui/named_child.h"
#include "widgets/skin_button.h"

namespace quarn::test {

// The File panel's button for a command, by the name the panel gives it.
inline widgets::SkinButton* FilePanelButton(const QWidget& panel, console::FileCommand command) {
    const char* name = "saveAs";
    switch (command) {
        case console::FileCommand::New:
            name = "new";
            break;
        case console::FileCommand::Open:
            name = "open";
            break;
        case console::FileCommand::Save:
            name = "save";
            break;
        case console::FileCommand::SaveAs:
            break;
    }
    return NamedChild<widgets::SkinButton>(panel, name);
}

}  // namespace quarn::test
