#include "console/records/reference_run.h"

#include <filesystem>
#include <system_error>

#include "console/files/config_file.h"
#include "console/files/file_session.h"
#include "console/files/opened_run_state.h"
#include "console/records/run_recording.h"

namespace quarn::console::records {

std::string LoadReference(const std::string& fileOrRunId, const std::string& historyDir,
                          ConsoleData& reference) {
    std::error_code error;
    if (!std::filesystem::exists(fileOrRunId, error)) {
        if (fileOrRunId.find('/') != std::string::npos || fileOrRunId.ends_with(".config"))
            return "Cannot open the file: " + fileOrRunId;
        return records::RecoverRun(historyDir, fileOrRunId, reference);
    }
    const int result = ReadConfigFile(fileOrRunId, reference, [&] { reference.ResetToNew(); });
    if (result == -1)
        return "Cannot open the file: " + fileOrRunId;
    if (result == -2)
        return FileSession::kNotConfigFile;
    // A file cut short still compares by the pairs it has.
    ApplyOpenedRunState(reference);
    return {};
}

}  // namespace quarn::console::records
