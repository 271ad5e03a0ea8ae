#include "tests/support/temp_dir.h"

#include <filesystem>
#include <random>
#include <stdexcept>

namespace quarn::test_support {
namespace {

std::string RandomSuffix(std::mt19937& random) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
    std::string suffix(6, ' ');
    for (char& letter : suffix) {
        letter = kLetters[pick(random)];
    }
    return suffix;
}

}  // namespace

TempDir::TempDir(const std::string& prefix) {
    namespace fs = std::filesystem;
    std::mt19937 random(std::random_device{}());
    const fs::path base = fs::temp_directory_path();
    // create_directory makes the folder or reports that it exists, in one step, so two
    // tests can never share one.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = base / (prefix + RandomSuffix(random));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            fs::permissions(candidate, fs::perms::owner_all, error);
            path_ = candidate.string();
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const {
    return (std::filesystem::path(path_) / name).string();
}

}  // namespace quarn::test_support
