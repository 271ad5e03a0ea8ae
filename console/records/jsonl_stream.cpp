#include "console/records/jsonl_stream.h"

namespace quarn::console::records {

JsonlStream::~JsonlStream() {
    Close();
}

bool JsonlStream::Open(const std::string& path, std::FILE* standardOutput) {
    Close();
    owned_ = path != "-";
    file_ = owned_ ? std::fopen(path.c_str(), "w") : standardOutput;
    good_ = file_ != nullptr;
    return good_;
}

void JsonlStream::Write(std::string_view line) {
    if (file_ == nullptr)
        return;
    good_ = good_ && std::fwrite(line.data(), 1, line.size(), file_) == line.size() &&
            std::fputc('\n', file_) != EOF;
}

void JsonlStream::SecondEnded() {
    if (file_ != nullptr)
        good_ = good_ && std::fflush(file_) == 0;
}

void JsonlStream::RunEnded() {
    SecondEnded();
}

void JsonlStream::Close() {
    if (file_ == nullptr)
        return;
    good_ = (owned_ ? std::fclose(file_) == 0 : std::fflush(file_) == 0) && good_;
    file_ = nullptr;
}

}  // namespace quarn::console::records
