#pragma once

#include <optional>
#include <string>

#include "labkey/lab_key.h"

namespace quarn::labkey {

// A key file is one line: "quarn-lab-key-1 " and the key's 64 hexadecimal digits.
inline constexpr std::string_view kKeyFileTag = "quarn-lab-key-1";

std::string FormatKeyFile(const LabKey& key);
// The key a key file's text holds; nullopt when it is not exactly that line (a final LF
// or CR LF allowed).
std::optional<LabKey> ParseKeyFile(std::string_view text);

// Writes a fresh key to path, which must not exist, readable by its owner only. False
// with the reason in why when it cannot.
bool WriteNewKeyFile(const std::string& path, std::string& why);

// The key in path; nullopt with the reason in why when the file cannot be read, others may
// read it, or it is malformed.
std::optional<LabKey> LoadKeyFile(const std::string& path, std::string& why);

}  // namespace quarn::labkey
