#include "console/records/journal_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <zstd.h>

#include <cerrno>

namespace quarn::console::records {
namespace {

// The file's directory entry must reach the disk too, or a power cut can lose the file.
void SyncDirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

JournalFile::~JournalFile() {
    CloseFile();
}

bool JournalFile::Open(const std::string& path, int compressionLevel) {
    CloseFile();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd_ < 0)
        return good_ = false;
    ::flock(fd_, LOCK_EX | LOCK_NB);
    context_ = ZSTD_createCCtx();
    good_ = context_ != nullptr;
    if (good_) {
        ZSTD_CCtx_setParameter(context_, ZSTD_c_compressionLevel, compressionLevel);
        ZSTD_CCtx_setParameter(context_, ZSTD_c_checksumFlag, 1);
    }
    path_ = path;
    output_.resize(ZSTD_CStreamOutSize());
    secondsSinceSync_ = 0;
    lastSync_ = std::chrono::steady_clock::now();
    directorySynced_ = false;
    return good_;
}

void JournalFile::Write(std::string_view line) {
    if (fd_ < 0)
        return;
    pending_.append(line);
    pending_ += '\n';
}

void JournalFile::WriteLines(std::string_view lines) {
    if (fd_ >= 0)
        pending_.append(lines);
}

void JournalFile::SecondEnded() {
    if (fd_ < 0)
        return;
    ++secondsSinceSync_;
    const bool sync = secondsSinceSync_ >= kSyncSeconds ||
                      std::chrono::steady_clock::now() - lastSync_ >= kSyncInterval;
    Compress(sync);
    if (sync)
        Sync();
}

void JournalFile::RunEnded() {
    if (fd_ < 0)
        return;
    Compress(true);
    Sync();
    CloseFile();
}

// A flush makes every line so far decodable from the file; ending the frame also lets a
// reader check it whole (the frame carries a checksum).
void JournalFile::Compress(bool endFrame) {
    if (context_ == nullptr) {
        pending_.clear();
        return;
    }
    ZSTD_inBuffer in{pending_.data(), pending_.size(), 0};
    const ZSTD_EndDirective mode = endFrame ? ZSTD_e_end : ZSTD_e_flush;
    std::size_t remaining = 0;
    do {
        ZSTD_outBuffer out{output_.data(), output_.size(), 0};
        remaining = ZSTD_compressStream2(context_, &out, &in, mode);
        if (ZSTD_isError(remaining)) {
            good_ = false;
            ZSTD_CCtx_reset(context_, ZSTD_reset_session_only);
            break;
        }
        WriteAll(output_.data(), out.pos);
    } while (remaining != 0);
    pending_.clear();
}

void JournalFile::WriteAll(const char* data, std::size_t size) {
    while (size > 0 && good_) {
        const ssize_t written = ::write(fd_, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            good_ = false;
            return;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void JournalFile::Sync() {
    if (::fdatasync(fd_) != 0)
        good_ = false;
    // Not in Open: that runs on the caller's thread, and a power cut may lose the first
    // seconds anyway.
    if (!directorySynced_) {
        SyncDirectoryOf(path_);
        directorySynced_ = true;
    }
    ++syncs_;
    secondsSinceSync_ = 0;
    lastSync_ = std::chrono::steady_clock::now();
}

void JournalFile::CloseFile() {
    if (context_ != nullptr) {
        ZSTD_freeCCtx(context_);
        context_ = nullptr;
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace quarn::console::records
