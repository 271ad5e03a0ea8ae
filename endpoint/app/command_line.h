#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quarn::endpoint_app {

enum class Action { Run, SetName, ResetName, Help, Version };

struct CommandLine {
    Action action = Action::Run;
    bool headless = false;
    std::string name;  // for SetName
};

// nullopt (with the reason in error) for anything it does not know.
std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error);

std::string UsageText();

}  // namespace quarn::endpoint_app
