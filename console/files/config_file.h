#pragma once

#include <functional>
#include <string>

#include "console/core/console_data.h"
#include "console/files/opened_run_state.h"

namespace quarn::console {

// Saves the Console's working state as a .config file (UTF-16LE after a fixed header).
// The file is replaced as a whole: a failed save leaves an existing file untouched.
// Returns 0 when written, -1 when the file cannot be created or written. Changes only
// the settings' two rate texts (their spaces are removed).
// `error`, when given, receives the system's error number of a failed write (0 on success).
int WriteConfigFile(const std::string& path, ConsoleData& data, int* error = nullptr);

// Restores the working state from a .config file. `performNew` runs the File menu's New
// (normally ConsoleData::ResetToNew, on whichever thread the caller decides) once the
// file has been read into memory and before anything is parsed. Returns 0 when read,
// -1 when the file cannot be opened or read (nothing has changed, New has not run), -2
// when the file identifier does not match (the state is what New left) and
// kConfigIncomplete when the file was cut short (what could be read is there). The chart's
// run state is left to ApplyOpenedRunState, which the caller runs on the thread that
// owns the chart.
int ReadConfigFile(const std::string& path, ConsoleData& data,
                   const std::function<void()>& performNew);
inline constexpr int kConfigIncomplete = -3;

// "The file is incomplete: N pairs were read."
std::string IncompleteFileText(int pairsRead);

}  // namespace quarn::console
