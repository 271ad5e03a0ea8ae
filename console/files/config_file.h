#pragma once

#include <functional>
#include <string>

#include "console/core/console_data.h"
#include "console/core/outcome.h"
#include "console/files/opened_run_state.h"

namespace quarn::console {

// How reading or writing a .config file went.
enum class ConfigResult {
    Done,
    // The file cannot be opened, read, created or written; nothing has changed.
    CannotAccess,
    // Read, but its identifier does not match: the state is what New left.
    NotConfigFile,
    // Cut short: what could be read is there.
    Incomplete,
};

// Saves the Console's working state as a .config file (UTF-16LE after a fixed header).
// The file is replaced as a whole: a failed save leaves an existing file untouched, and
// says why in the system's words ("No space left on device"). Changes only the settings'
// two rate texts (their spaces are removed).
Outcome WriteConfigFile(const std::string& path, ConsoleData& data);

// Restores the working state from a .config file. `performNew` runs the File menu's New
// (normally ConsoleData::ResetToNew, on whichever thread the caller decides) once the
// file has been read into memory and before anything is parsed. The chart's run state is left to
// ApplyOpenedRunState, which the caller runs on the thread that owns the chart.
ConfigResult ReadConfigFile(const std::string& path, ConsoleData& data,
                            const std::function<void()>& performNew);

// "The file is incomplete: N pairs were read."
std::string IncompleteFileText(int pairsRead);

}  // namespace quarn::console
