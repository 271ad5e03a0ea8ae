#include "console/files/config_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>

#include "console/files/atomic_file_writer.h"
#include "console/files/config_layout.h"
#include "console/files/config_parser.h"
#include "console/files/config_records.h"
#include "console/files/utf16le.h"

namespace quarn::console {
namespace {

class ReadOnlyFile {
  public:
    explicit ReadOnlyFile(const std::string& path)
        // Non-blocking so that a FIFO given as the path cannot stall the open.
        : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {}
    ~ReadOnlyFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // The whole content of a regular file; false for anything else or a read error.
    bool ReadAll(std::string& bytes) const {
        struct stat status {};
        if (fd_ < 0 || ::fstat(fd_, &status) != 0 || !S_ISREG(status.st_mode)) {
            return false;
        }
        bytes.clear();
        bytes.reserve(static_cast<std::size_t>(status.st_size));
        char block[65536];
        for (;;) {
            const ssize_t count = ::read(fd_, block, sizeof block);
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0) {
                return false;
            }
            if (count == 0) {
                return true;
            }
            bytes.append(block, static_cast<std::size_t>(count));
        }
    }

  private:
    int fd_;
};

std::string FileBytes(std::string_view utf8Record) {
    return Utf16ToLeBytes(Utf8ToUtf16(utf8Record));
}

// Bytes 0-1 (the byte-order mark) are not looked at.
bool HasConfigIdentifier(std::string_view bytes) {
    return bytes.size() >= kConfigHeaderSize &&
           bytes.substr(2, kConfigIdentifier.size()) == kConfigIdentifier;
}

bool WriteRecords(AtomicFileWriter& file, ConsoleData& data) {
    file.Write(ConfigHeaderBytes());
    file.Write(FileBytes(FormatTimeLine(data)));
    file.Write(FileBytes(FormatEndPointLine(data)));
    NormaliseRateTexts(data.settings);
    for (int row = 0; row < data.table.Size(); ++row) {
        file.Write(FileBytes(FormatRowLine(data, row)));
    }
    const std::string nameBlock = FormatNameBlock(data);
    if (!nameBlock.empty()) {
        file.Write(FileBytes(nameBlock));
    }
    return file.Commit();
}

}  // namespace

Outcome WriteConfigFile(const std::string& path, ConsoleData& data) {
    int failure = 0;
    try {
        AtomicFileWriter file(path);
        if (file.Open() && WriteRecords(file, data))
            return Outcome::Done();
        failure = file.Error();
    } catch (const std::bad_alloc&) {
        failure = ENOMEM;
    }
    return Outcome::Failed(failure != 0 ? std::strerror(failure) : "the file could not be written");
}

ConfigResult ReadConfigFile(const std::string& path, ConsoleData& data,
                            const std::function<void()>& performNew) {
    try {
        std::string bytes;
        if (!ReadOnlyFile(path).ReadAll(bytes)) {
            return ConfigResult::CannotAccess;
        }
        if (performNew) {
            performNew();
        }
        if (!HasConfigIdentifier(bytes)) {
            return ConfigResult::NotConfigFile;
        }
        // A written file holds whole UTF-16 code units; an odd size was cut off.
        const bool wholeUnits = bytes.size() % 2 == 0;
        const std::u16string text =
            Utf16FromLeBytes(std::string_view(bytes).substr(kConfigHeaderSize));
        std::string().swap(bytes);  // the text alone is enough from here on
        const bool complete = ApplyConfigText(text, data);
        return complete && wholeUnits ? ConfigResult::Done : ConfigResult::Incomplete;
    } catch (const std::bad_alloc&) {
        return ConfigResult::CannotAccess;
    }
}

std::string IncompleteFileText(int pairsRead) {
    return "The file is incomplete: " + std::to_string(pairsRead) + " pairs were read.";
}

}  // namespace quarn::console
