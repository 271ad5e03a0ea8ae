#include "console/files/atomic_file_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace quarn::console {
namespace {

std::atomic<unsigned> temporaryCounter{0};
constexpr std::string_view kTemporaryMark = ".tmp-";

// The process id in a temporary name ".NAME.tmp-PID-N"; 0 for any other name.
pid_t WriterOfTemporary(std::string_view name) {
    const std::size_t mark = name.rfind(kTemporaryMark);
    if (name.size() < 2 || name[0] != '.' || mark == std::string_view::npos || mark < 2) {
        return 0;
    }
    const std::string_view rest = name.substr(mark + kTemporaryMark.size());
    const std::size_t dash = rest.find('-');
    if (dash == std::string_view::npos || dash + 1 == rest.size()) {
        return 0;
    }
    const auto allDigits = [](std::string_view text) {
        return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
    };
    pid_t pid = 0;
    const std::string_view pidText = rest.substr(0, dash);
    if (!allDigits(pidText) || !allDigits(rest.substr(dash + 1)) ||
        std::from_chars(pidText.data(), pidText.data() + pidText.size(), pid).ec != std::errc()) {
        return 0;
    }
    return pid;
}

bool ProcessGone(pid_t pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

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

void RemoveLeftoverTemporaries(const std::string& directory) {
    DIR* folder = ::opendir(directory.c_str());
    if (folder == nullptr) {
        return;
    }
    const pid_t self = ::getpid();
    const uid_t owner = ::geteuid();
    while (const dirent* entry = ::readdir(folder)) {
        const pid_t writer = WriterOfTemporary(entry->d_name);
        if (writer <= 0 || writer == self || !ProcessGone(writer)) {
            continue;
        }
        // Only our own plain files: never a link, a folder or another user's file.
        struct stat status {};
        if (::fstatat(::dirfd(folder), entry->d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(status.st_mode) && status.st_uid == owner) {
            ::unlinkat(::dirfd(folder), entry->d_name, 0);
        }
    }
    ::closedir(folder);
}

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
    // A save that was killed left its temporary file; nobody else will ever remove it.
    RemoveLeftoverTemporaries(directory);
    if (baseName.empty()) {
        Fail(EISDIR);
        return false;
    }
    if (!CreateTemporary(directory, baseName)) {
        Fail(errno);
        return false;
    }
    CopyModeOfTarget();
    return true;
}

bool AtomicFileWriter::CreateTemporary(const std::string& directory, const std::string& baseName) {
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string candidate = directory + "/." + baseName + std::string(kTemporaryMark) +
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
            Fail(written < 0 ? errno : EIO);
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
    const int syncError = errno;
    const bool closed = ::close(fd_) == 0;
    const int closeError = errno;
    fd_ = -1;
    const bool renamed = synced && closed && ::rename(tempPath_.c_str(), targetPath_.c_str()) == 0;
    if (!renamed) {
        Fail(!synced ? syncError : !closed ? closeError : errno);
        Discard();
        return false;
    }
    tempPath_.clear();
    std::string directory = std::filesystem::path(targetPath_).parent_path().string();
    SyncDirectory(directory.empty() ? "." : directory);
    return true;
}

void AtomicFileWriter::Fail(int error) {
    if (!failed_) {
        error_ = error != 0 ? error : EIO;
    }
    failed_ = true;
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
