#include "console/records/journal_writer.h"

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

JournalWriter::~JournalWriter() {
    CloseFile();
}

bool JournalWriter::Open(const std::string& path, int compressionLevel) {
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
    SyncDirectoryOf(path);
    return good_;
}

void JournalWriter::Write(std::string_view line) {
    if (fd_ < 0)
        return;
    pending_.append(line);
    pending_ += '\n';
}

void JournalWriter::SecondEnded() {
    if (fd_ < 0)
        return;
    ++secondsSinceSync_;
    const bool sync = secondsSinceSync_ >= kSyncSeconds ||
                      std::chrono::steady_clock::now() - lastSync_ >= kSyncInterval;
    Compress(sync);
    if (sync)
        Sync();
}

void JournalWriter::RunEnded() {
    if (fd_ < 0)
        return;
    Compress(true);
    Sync();
    CloseFile();
}

// A flush makes every line so far decodable from the file; ending the frame also lets a
// reader check it whole (the frame carries a checksum).
void JournalWriter::Compress(bool endFrame) {
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

void JournalWriter::WriteAll(const char* data, std::size_t size) {
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

void JournalWriter::Sync() {
    if (::fdatasync(fd_) != 0)
        good_ = false;
    ++syncs_;
    secondsSinceSync_ = 0;
    lastSync_ = std::chrono::steady_clock::now();
}

void JournalWriter::CloseFile() {
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
