#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

namespace quarn::console::records::test {

// Runs a Python 3 snippet on a file with the json module, an independent reader of what
// this library writes. Returns the exit status (0 when every check in the snippet held).
inline int RunPythonCheck(const std::string& dir, const std::string& script,
                          const std::string& file) {
    const std::string scriptPath = dir + "/check.py";
    std::ofstream(scriptPath) << script;
    const std::string command = "python3 " + scriptPath + " " + file;
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace quarn::console::records::test
