#include "console/records/reference_loading.h"

#include <filesystem>
#include <system_error>

#include "console/files/config_file.h"
#include "console/files/file_flow.h"
#include "console/files/opened_run_state.h"
#include "console/records/session_records.h"

namespace quarn::console::records {

std::string CannotOpenText(const std::string& path) {
    return "Cannot open the file: " + path;
}

Outcome LoadReference(const std::string& fileOrRunId, const std::string& historyDir,
                      ConsoleData& reference) {
    std::error_code error;
    if (!std::filesystem::exists(fileOrRunId, error)) {
        if (fileOrRunId.find('/') != std::string::npos || fileOrRunId.ends_with(".config"))
            return Outcome::Failed(CannotOpenText(fileOrRunId));
        return records::RecoverRun(historyDir, fileOrRunId, reference);
    }
    switch (ReadConfigFile(fileOrRunId, reference, [&] { reference.ResetToNew(); })) {
        case ConfigResult::CannotAccess:
            return Outcome::Failed(CannotOpenText(fileOrRunId));
        case ConfigResult::NotConfigFile:
            return Outcome::Failed(FileFlow::kNotConfigFile);
        case ConfigResult::Done:
        case ConfigResult::Incomplete:
            break;  // a file cut short still compares by the pairs it has
    }
    ApplyOpenedRunState(reference);
    return Outcome::Done();
}

}  // namespace quarn::console::records
