#pragma once

#include <string>

namespace quarn::test_support {

// A fresh directory in the system's temporary folder, removed with its contents on
// destruction.
class TempDir {
  public:
    explicit TempDir(const std::string& prefix = "quarn-test-");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const;

  private:
    std::string path_;
};

}  // namespace quarn::test_support
