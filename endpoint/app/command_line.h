#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quarn::endpoint_app {

enum class Action { Run, SetName, ResetName, NewLabKey, Help, Version };

struct CommandLine {
    Action action = Action::Run;
    bool headless = false;
    std::string name;  // for SetName
    // NewLabKey: the file to write; Run: the key to obey (empty: none). A path, never the
    // key itself: a command line is visible to every user of the machine.
    std::string labKeyPath;
};

// nullopt (with the reason in error) for anything it does not know.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error);

std::string UsageText();

}  // namespace quarn::endpoint_app
