#include "console/records/journal_directory.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "console/records/journal_writer.h"

namespace quarn::console::records {

std::string JournalDirectory() {
    const char* state = std::getenv("XDG_STATE_HOME");
    // XDG says a relative XDG_STATE_HOME is to be ignored.
    if (state != nullptr && state[0] == '/')
        return std::string(state) + "/quarn/runs";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0')
        return std::string(home) + "/.local/state/quarn/runs";
    return {};
}

bool MakeJournalDirectory(const std::string& dir) {
    if (dir.empty())
        return false;
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (!error)
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace, error);
    return std::filesystem::is_directory(dir, error);
}

std::string JournalPath(const std::string& dir, const std::string& runId) {
    return dir + "/" + runId + JournalWriter::kExtension;
}

}  // namespace quarn::console::records
