#include "endpoint/app/command_line.h"

#include <set>

namespace quarn::endpoint_app {
namespace {

// A word that starts like an option is never taken as a value ("--set-name --headless").
bool LooksLikeOption(const std::string& arg) {
    return arg.rfind("--", 0) == 0;
}

// The option's name without an inline "=value".
std::string OptionName(const std::string& arg) {
    return arg.substr(0, arg.find('='));
}

bool SetAction(CommandLine& line, Action action, const std::string& option,
               std::string& actionOption, std::string& error) {
    if (!actionOption.empty()) {
        error = actionOption + " and " + option + " cannot be given together";
        return false;
    }
    actionOption = option;
    line.action = action;
    return true;
}

}  // namespace

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error) {
    CommandLine line;
    std::set<std::string> seen;
    std::string actionOption;  // the option that chose the action
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::string name = OptionName(arg);
        if (arg.rfind('-', 0) == 0 && !seen.insert(name).second) {
            error = name + " is given more than once";
            return std::nullopt;
        }
        bool understood = true;
        if (arg == "--headless") {
            line.headless = true;
        } else if (arg == "--reset-name") {
            understood = SetAction(line, Action::ResetName, arg, actionOption, error);
        } else if (arg == "--help" || arg == "-h") {
            understood = SetAction(line, Action::Help, arg, actionOption, error);
        } else if (arg == "--version") {
            understood = SetAction(line, Action::Version, arg, actionOption, error);
        } else if (arg == "--set-name" && i + 1 < args.size() && !LooksLikeOption(args[i + 1])) {
            understood = SetAction(line, Action::SetName, arg, actionOption, error);
            line.name = args[++i];
        } else if (name == "--set-name" && name != arg) {
            understood = SetAction(line, Action::SetName, name, actionOption, error);
            line.name = arg.substr(name.size() + 1);
        } else if (arg == "--new-lab-key" && i + 1 < args.size() && !LooksLikeOption(args[i + 1])) {
            understood = SetAction(line, Action::NewLabKey, arg, actionOption, error);
            line.labKeyPath = args[++i];
        } else if (arg == "--lab-key" && i + 1 < args.size() && !LooksLikeOption(args[i + 1])) {
            line.labKeyPath = args[++i];
        } else {
            error = arg == "--set-name"                            ? "--set-name needs a name"
                    : arg == "--new-lab-key" || arg == "--lab-key" ? arg + " needs a file"
                                                                   : "unknown option " + arg;
            return std::nullopt;
        }
        if (!understood)
            return std::nullopt;
    }
    return line;
}

std::string UsageText() {
    return "Usage: Quarn_EndPoint [--headless] [--lab-key FILE]\n"
           "       Quarn_EndPoint --set-name NAME | --reset-name | --new-lab-key FILE |\n"
           "                      --help | --version\n"
           "\n"
           "Runs the Quarn EndPoint agent: answers discovery on UDP port 54321 and runs iperf\n"
           "for the Quarn Console over TCP port 45000.\n"
           "  --headless      run without a window; prints the name, the addresses and\n"
           "                  Ready/Running as they change; SIGINT or SIGTERM ends it\n"
           "  --set-name NAME store the name this EndPoint announces, then exit (a name\n"
           "                  that starts with \"--\" is given as --set-name=NAME)\n"
           "  --reset-name    go back to the computer name, then exit\n"
           "  --lab-key FILE  obey only requests and restarts authenticated with this key\n"
           "  --new-lab-key FILE\n"
           "                  write a fresh lab key that only its owner can read, then exit\n"
           "Environment: QUARN_IPERF (iperf program), QUARN_CONFIG_HOME (settings folder).\n";
}

}  // namespace quarn::endpoint_app
