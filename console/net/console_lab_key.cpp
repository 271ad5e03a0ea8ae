#include "console/net/console_lab_key.h"

#include "labkey/key_file.h"

namespace quarn::console {

Result<labkey::LabKey> LoadConsoleLabKey(const std::string& path) {
    std::string why;
    std::optional<labkey::LabKey> key = labkey::LoadKeyFile(path, why);
    if (!key)
        return WhyNot{"Cannot use the lab key " + path + ": " + why};
    return std::move(*key);
}

}  // namespace quarn::console
