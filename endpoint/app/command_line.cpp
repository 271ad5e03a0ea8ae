#include "endpoint/app/command_line.h"

namespace quarn::endpoint_app {

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error) {
    CommandLine line;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--headless") {
            line.headless = true;
        } else if (arg == "--reset-name") {
            line.action = Action::ResetName;
        } else if (arg == "--help" || arg == "-h") {
            line.action = Action::Help;
        } else if (arg == "--version") {
            line.action = Action::Version;
        } else if (arg == "--set-name" && i + 1 < args.size()) {
            line.action = Action::SetName;
            line.name = args[++i];
        } else if (arg.rfind("--set-name=", 0) == 0) {
            line.action = Action::SetName;
            line.name = arg.substr(arg.find('=') + 1);
        } else if ((arg == "--new-lab-key" || arg == "--lab-key") && i + 1 < args.size()) {
            line.action = arg == "--new-lab-key" ? Action::NewLabKey : line.action;
            line.labKeyPath = args[++i];
        } else {
            error = arg == "--set-name"                            ? "--set-name needs a name"
                    : arg == "--new-lab-key" || arg == "--lab-key" ? arg + " needs a file"
                                                                   : "unknown option " + arg;
            return std::nullopt;
        }
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
           "  --set-name NAME store the name this EndPoint announces, then exit\n"
           "  --reset-name    go back to the computer name, then exit\n"
           "  --lab-key FILE  obey only requests and restarts authenticated with this key\n"
           "  --new-lab-key FILE\n"
           "                  write a fresh lab key that only its owner can read, then exit\n"
           "Environment: QUARN_IPERF (iperf program), QUARN_CONFIG_HOME (settings folder).\n";
}

}  // namespace quarn::endpoint_app
