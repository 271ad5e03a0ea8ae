#pragma once

#include <utility>

#include "console/session/console_session.h"
#include "console/ui/main_window.h"
#include "console/ui/qt_dispatcher.h"

namespace quarn::gui_test {

// The session a test window shows: built before the window, gone after it.
struct SessionParts {
    explicit SessionParts(console::SessionOptions options)
        : session(std::move(options), dispatcher) {}
    console::ui::QtDispatcher dispatcher;
    console::ConsoleSession session;
};

// A main window with a session of its own, in the order the window program builds them.
class SessionWindow : private SessionParts, public console::ui::MainWindow {
  public:
    explicit SessionWindow(console::SessionOptions session,
                           console::ui::MainWindow::Options window = {})
        : SessionParts(std::move(session)), MainWindow(SessionParts::session, std::move(window)) {}
};

}  // namespace quarn::gui_test
