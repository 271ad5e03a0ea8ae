#pragma once

#include <functional>
#include <memory>
#include <string>

#include "console/session/console_session.h"
#include "console/ui/main_window.h"

namespace quarn::console::ui {

// The single-instance name of the Console for this user; QUARN_INSTANCE_KEY replaces it
// (tests run several Consoles side by side).
std::string ConsoleInstanceKey();

// Given a call that makes the window quit (callable from any thread), returns what keeps
// the caller's signal handling alive; it is released before the window goes.
using QuitHook = std::function<std::shared_ptr<void>(std::function<void()> quit)>;

// Runs the Console with its main window until the operator quits. A second start in the
// same session raises the running window and returns 0 at once.
int RunConsoleWindow(int& argc, char** argv, SessionOptions session, MainWindow::Options window,
                     const QuitHook& quitHook = {});

// Runs `body` (a headless run) with a Qt application on the offscreen platform, so that it
// can draw the chart for a report without any display.
int RunWithOffscreenQt(int& argc, char** argv, const std::function<int()>& body);

}  // namespace quarn::console::ui
