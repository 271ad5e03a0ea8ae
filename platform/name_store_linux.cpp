#include "platform/name_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/file_text.h"

namespace quarn::platform {
namespace {

constexpr size_t kComputerNameMax = 24;

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string HomeDir() {
    std::string home = EnvOrEmpty("HOME");
    if (home.empty()) {
        if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir) {
            home = entry->pw_dir;
        }
    }
    return home;
}

// mkdir -p
bool MakeDirs(const std::string& dir) {
    for (size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
        const std::string prefix = dir.substr(0, slash);
        if (!prefix.empty() && mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat info {};
    return stat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = write(fd, data.data(), data.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

}  // namespace

std::string NameStore::DefaultDir() {
    if (std::string own = EnvOrEmpty("QUARN_CONFIG_HOME"); !own.empty()) {
        return own;
    }
    // The XDG rules ignore a relative $XDG_CONFIG_HOME.
    if (std::string xdg = EnvOrEmpty("XDG_CONFIG_HOME"); !xdg.empty() && xdg.front() == '/') {
        return xdg + "/quarn";
    }
    return HomeDir() + "/.config/quarn";
}

bool NameStore::Save(std::string_view name) const {
    if (!Storable(name) || !MakeDirs(dir_)) {
        return false;
    }
    std::string temp = FilePath() + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const std::string content = Content(name);
    bool ok = WriteAll(fd, content) && fchmod(fd, 0644) == 0 && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && std::rename(temp.c_str(), FilePath().c_str()) == 0;
    if (!ok) {
        unlink(temp.c_str());
    }
    return ok;
}

bool NameStore::Remove() const {
    return unlink(FilePath().c_str()) == 0 || errno == ENOENT;
}

std::string ComputerName() {
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0) {
        return {};
    }
    std::string name(buffer);
    if (name.size() > kComputerNameMax) {
        name.resize(kComputerNameMax);
    }
    return name;
}

}  // namespace quarn::platform
