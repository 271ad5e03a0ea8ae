#include "platform/private_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quarn::platform {
namespace {

std::string SystemText(int error) {
    return std::strerror(error);
}

// Closes on every path out.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Fd() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

std::optional<std::string> WritePrivateFile(const std::string& path, std::string_view bytes) {
    const Descriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (file.Fd() < 0) {
        return SystemText(errno);
    }
    // The umask may only take bits away; a group or others bit left by an ACL goes too.
    if (::fchmod(file.Fd(), 0600) != 0) {
        return SystemText(errno);
    }
    while (!bytes.empty()) {
        const ssize_t written = ::write(file.Fd(), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return SystemText(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    if (::fsync(file.Fd()) != 0) {
        return SystemText(errno);
    }
    return std::nullopt;
}

std::optional<std::string> ReadPrivateFile(const std::string& path, std::size_t maxBytes,
                                           std::string& why) {
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    struct stat info {};
    if (file.Fd() < 0 || ::fstat(file.Fd(), &info) != 0) {
        why = SystemText(errno);
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        why = "not a regular file";
        return std::nullopt;
    }
    if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        why = "others can read or change it (make it readable by its owner only: chmod 600)";
        return std::nullopt;
    }
    if (info.st_uid != ::geteuid() && info.st_uid != 0) {
        why = "it belongs to another user";
        return std::nullopt;
    }
    if (static_cast<std::size_t>(info.st_size) > maxBytes) {
        why = "too large for a key file";
        return std::nullopt;
    }
    std::string contents(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t got = 0;
    while (got < contents.size()) {
        const ssize_t read = ::read(file.Fd(), contents.data() + got, contents.size() - got);
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read <= 0) {
            why = read == 0 ? "the file changed while it was read" : SystemText(errno);
            return std::nullopt;
        }
        got += static_cast<std::size_t>(read);
    }
    return contents;
}

}  // namespace quarn::platform
