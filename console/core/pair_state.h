#pragma once

#include <string_view>

namespace quarn::console {

// Values are stored in configuration files; keep them stable.
enum class PairState : int {
    Ready = 0,
    Running = 1,
    Error = 2,
    Stopped = 3,
    Done = 4,
    Inactive = 5
};

// "Ready", "Running", "Error", "Stopped", "Done", "Inactive".
std::string_view StatusText(PairState state);

// What the main window is doing; table edits are allowed only while Idle.
enum class ConsoleMode : int { Idle = -1, Searching = 1, Measuring = 2, FileBusy = 3 };

}  // namespace quarn::console
