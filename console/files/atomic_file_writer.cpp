#include "console/files/atomic_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace quarn::console {
namespace {

std::atomic<unsigned> temporaryCounter{0};

// A symbolic link stays a link: the file it points to is the one replaced.
std::string ResolveTarget(const std::string& path) {
    std::error_code error;
    const std::filesystem::path target(path);
    if (std::filesystem::is_symlink(target, error)) {
        const auto resolved = std::filesystem::canonical(target, error);
        if (!error) {
            return resolved.string();
        }
    }
    return path;
}

void SyncDirectory(const std::string& directory) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);  // durability of the rename only; the replacement itself has happened
        ::close(fd);
    }
}

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::string targetPath)
    : targetPath_(ResolveTarget(targetPath)) {}

AtomicFileWriter::~AtomicFileWriter() {
    Discard();
}

bool AtomicFileWriter::Open() {
    const std::filesystem::path target(targetPath_);
    std::string directory = target.parent_path().string();
    if (directory.empty()) {
        directory = ".";
    }
    // Shortened so that the temporary name stays within the file-name limit.
    const std::string baseName = target.filename().string().substr(0, 100);
    if (baseName.empty() || !CreateTemporary(directory, baseName)) {
        failed_ = true;
        return false;
    }
    CopyModeOfTarget();
    return true;
}

bool AtomicFileWriter::CreateTemporary(const std::string& directory, const std::string& baseName) {
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string candidate = directory + "/." + baseName + ".tmp-" +
                                      std::to_string(::getpid()) + "-" +
                                      std::to_string(temporaryCounter.fetch_add(1));
        // 0666 so that the process umask decides, as for any newly created file.
        fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            tempPath_ = candidate;
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

void AtomicFileWriter::CopyModeOfTarget() {
    struct stat status {};
    if (::stat(targetPath_.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
        ::fchmod(fd_, status.st_mode & 07777);
    }
}

bool AtomicFileWriter::Write(std::string_view bytes) {
    while (!failed_ && !bytes.empty()) {
        const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            failed_ = true;
            break;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return !failed_;
}

bool AtomicFileWriter::Commit() {
    if (failed_ || fd_ < 0) {
        return false;
    }
    const bool synced = ::fsync(fd_) == 0;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!synced || !closed || ::rename(tempPath_.c_str(), targetPath_.c_str()) != 0) {
        failed_ = true;
        Discard();
        return false;
    }
    tempPath_.clear();
    std::string directory = std::filesystem::path(targetPath_).parent_path().string();
    SyncDirectory(directory.empty() ? "." : directory);
    return true;
}

void AtomicFileWriter::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
    }
}

}  // namespace quarn::console
