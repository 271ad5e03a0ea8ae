#pragma once

#include <string>

namespace quarn::console::records {

// Where run journals are kept: $XDG_STATE_HOME/quarn/runs, or ~/.local/state/quarn/runs.
// Empty when neither variable is set.
std::string JournalDirectory();
// Creates the directory and its parents (mode 0700 for new ones); false when it fails.
bool MakeJournalDirectory(const std::string& dir);
// The journal file of a run in `dir`.
std::string JournalPath(const std::string& dir, const std::string& runId);

}  // namespace quarn::console::records
