#include "platform/name_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace quarn::platform {
namespace {

namespace fs = std::filesystem;

class NameStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/quarn-names-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
    }
    void TearDown() override { fs::remove_all(root_); }

    void WriteRaw(const std::string& dir, const std::string& content) {
        fs::create_directories(dir);
        std::ofstream(dir + "/endpoint.conf", std::ios::binary) << content;
    }

    std::string root_;
};

TEST_F(NameStoreTest, SaveLoadRemoveRoundTrip) {
    const NameStore store(root_ + "/nested/quarn");  // created on save
    EXPECT_FALSE(store.Load());
    ASSERT_TRUE(store.Save("Lab PC \xED\x95\x9C"));
    EXPECT_EQ(store.Load(), "Lab PC \xED\x95\x9C");
    ASSERT_TRUE(store.Save("second"));
    EXPECT_EQ(store.Load(), "second");
    // The temporary file is renamed away, never left behind.
    EXPECT_EQ(
        std::distance(fs::directory_iterator(root_ + "/nested/quarn"), fs::directory_iterator()),
        1);
    EXPECT_TRUE(store.Remove());
    EXPECT_FALSE(store.Load());
    EXPECT_TRUE(store.Remove());  // nothing left to remove is fine
}

TEST_F(NameStoreTest, ReadsWhatOthersWrote) {
    const NameStore store(root_);
    WriteRaw(root_, "EndPoint_Name=\n");
    EXPECT_FALSE(store.Load());  // empty counts as absent
    WriteRaw(root_, "# comment\r\nEndPoint_Name=crlf name\r\n");
    EXPECT_EQ(store.Load(), "crlf name");
    WriteRaw(root_, "Other=1");
    EXPECT_FALSE(store.Load());
}

TEST_F(NameStoreTest, RefusesNamesThatWouldNotReadBack) {
    const NameStore store(root_);
    ASSERT_TRUE(store.Save("kept"));
    EXPECT_FALSE(store.Save("two\nlines"));
    EXPECT_FALSE(store.Save(std::string("nul\0", 4)));
    EXPECT_EQ(store.Load(), "kept");
    // A folder that cannot be created.
    WriteRaw(root_ + "/file-here", "");
    EXPECT_FALSE(NameStore(root_ + "/file-here/endpoint.conf/x").Save("n"));
}

TEST_F(NameStoreTest, DefaultDirPrecedence) {
    const char* saved[] = {"QUARN_CONFIG_HOME", "XDG_CONFIG_HOME", "HOME"};
    std::vector<std::optional<std::string>> old;
    for (const char* name : saved) {
        const char* value = getenv(name);
        old.push_back(value ? std::optional<std::string>(value) : std::nullopt);
    }
    setenv("HOME", "/home/q", 1);
    setenv("XDG_CONFIG_HOME", "/xdg", 1);
    setenv("QUARN_CONFIG_HOME", "/own", 1);
    EXPECT_EQ(NameStore::DefaultDir(), "/own");
    unsetenv("QUARN_CONFIG_HOME");
    EXPECT_EQ(NameStore::DefaultDir(), "/xdg/quarn");
    setenv("XDG_CONFIG_HOME", "relative", 1);
    EXPECT_EQ(NameStore::DefaultDir(), "/home/q/.config/quarn");
    for (size_t i = 0; i < old.size(); ++i) {
        if (old[i]) {
            setenv(saved[i], old[i]->c_str(), 1);
        } else {
            unsetenv(saved[i]);
        }
    }
}

}  // namespace
}  // namespace quarn::platform
