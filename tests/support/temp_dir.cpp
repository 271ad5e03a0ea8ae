#include "tests/support/temp_dir.h"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

namespace quarn::test_support {

TempDir::TempDir() {
    std::string pattern = "/tmp/quarn-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace quarn::test_support
