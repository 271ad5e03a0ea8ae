#include "labkey/lab_key.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "labkey/key_file.h"
#include "tests/support/temp_dir.h"

namespace quarn::labkey {
namespace {

std::string CountingBytes() {
    std::string bytes;
    for (int i = 0; i < 32; ++i) {
        bytes += static_cast<char>(i);
    }
    return bytes;
}

// The tags are HMAC-SHA256 as any other implementation computes it (these were worked
// out with Python's hmac module).
TEST(LabKey, TagsAreHmacSha256AndVerifyOnlyTheirMessage) {
    const LabKey key = LabKey::FromBytes(CountingBytes()).value();
    const std::string message = "quarn control request 1\n";
    const std::string tag = key.Tag(message);
    EXPECT_EQ(ToHex(tag), "8409ff5f8aa4c3da92e5a30b8033f6b1f5f54aad20d3c2a1757a42875a994cb6");
    EXPECT_EQ(ToHex(key.Tag("")),
              "d38b42096d80f45f826b44a9d5607de72496a415d3f4a1a8c88e3bb9da8dc1cb");

    EXPECT_TRUE(key.Verifies(message, tag));
    EXPECT_FALSE(key.Verifies(message + "x", tag));
    std::string flipped = tag;
    flipped[31] = static_cast<char>(flipped[31] ^ 1);
    EXPECT_FALSE(key.Verifies(message, flipped));
    // A shorter tag that matches as far as it goes is no tag.
    EXPECT_FALSE(key.Verifies(message, tag.substr(0, 16)));
    EXPECT_FALSE(key.Verifies(message, ""));
    EXPECT_FALSE(key.Verifies(message, tag + "x"));
    const LabKey other = LabKey::Generate();
    EXPECT_FALSE(other.Verifies(message, tag));
}

TEST(LabKey, OnlyWholeKeysAndFreshRandomness) {
    EXPECT_FALSE(LabKey::FromBytes(std::string(31, 'k')));
    EXPECT_FALSE(LabKey::FromBytes(std::string(33, 'k')));
    EXPECT_NE(LabKey::Generate().Bytes(), LabKey::Generate().Bytes());
    EXPECT_EQ(LabKey::Generate().Bytes().size(), kKeyBytes);
    EXPECT_EQ(RandomBytes(kNonceBytes).size(), kNonceBytes);
    EXPECT_NE(RandomBytes(kNonceBytes), RandomBytes(kNonceBytes));
}

TEST(Hex, RoundTripsAndRefusesAnythingElse) {
    EXPECT_EQ(ToHex(std::string("\x00\x7f\xff", 3)), "007fff");
    EXPECT_EQ(FromHex("007FfF"), std::string("\x00\x7f\xff", 3));
    EXPECT_EQ(FromHex(""), std::string());
    for (const char* bad : {"0", "0g", "zz", "0 ", "-1"}) {
        EXPECT_FALSE(FromHex(bad)) << bad;
    }
}

TEST(KeyFile, TextIsOneTaggedLine) {
    const LabKey key = LabKey::FromBytes(CountingBytes()).value();
    const std::string text = FormatKeyFile(key);
    EXPECT_EQ(text,
              "quarn-lab-key-1 000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f\n");
    EXPECT_EQ(ParseKeyFile(text)->Bytes(), key.Bytes());
    EXPECT_EQ(ParseKeyFile(text.substr(0, text.size() - 1) + "\r\n")->Bytes(), key.Bytes());
    EXPECT_EQ(ParseKeyFile(text.substr(0, text.size() - 1))->Bytes(), key.Bytes());
    for (const std::string& bad : std::vector<std::string>{
             std::string(), text + "\n", "quarn-lab-key-2" + text.substr(15), " " + text,
             text.substr(0, text.size() - 3) + "\n", text.substr(0, 20) + "zz" + text.substr(22),
             text.substr(0, 15) + "\t" + text.substr(16)}) {
        EXPECT_FALSE(ParseKeyFile(bad)) << bad;
    }
}

class KeyFileOnDisk : public ::testing::Test {
  protected:
    std::string Mode(const std::string& path) {
        struct stat info {};
        EXPECT_EQ(stat(path.c_str(), &info), 0);
        return std::to_string(info.st_mode & 0777);
    }
    test_support::TempDir dir_;
};

TEST_F(KeyFileOnDisk, NewKeyIsForItsOwnerOnlyAndNeverOverwritten) {
    const std::string path = dir_.File("lab.key");
    std::string why;
    ASSERT_TRUE(WriteNewKeyFile(path, why)) << why;
    EXPECT_EQ(Mode(path), std::to_string(0600));
    const std::optional<LabKey> loaded = LoadKeyFile(path, why);
    ASSERT_TRUE(loaded) << why;

    EXPECT_FALSE(WriteNewKeyFile(path, why));
    EXPECT_NE(why, "");
    EXPECT_EQ(LoadKeyFile(path, why)->Bytes(), loaded->Bytes());  // the old key stays
}

TEST_F(KeyFileOnDisk, KeysOthersCanReadOrThatAreMalformedAreRefused) {
    const std::string path = dir_.File("lab.key");
    std::string why;
    ASSERT_TRUE(WriteNewKeyFile(path, why));
    for (const mode_t mode : {0644, 0640, 0604, 0602, 0620}) {
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
        why.clear();
        EXPECT_FALSE(LoadKeyFile(path, why)) << mode;
        EXPECT_NE(why.find("others can read"), std::string::npos) << why;
    }
    ASSERT_EQ(chmod(path.c_str(), 0400), 0);
    EXPECT_TRUE(LoadKeyFile(path, why));  // read-only for its owner is fine

    const std::string junk = dir_.File("junk.key");
    std::ofstream(junk) << "not a key\n";
    ASSERT_EQ(chmod(junk.c_str(), 0600), 0);
    EXPECT_FALSE(LoadKeyFile(junk, why));
    EXPECT_NE(why.find("not a lab key file"), std::string::npos) << why;

    const std::string large = dir_.File("large.key");
    std::ofstream(large) << std::string(100000, 'a');
    ASSERT_EQ(chmod(large.c_str(), 0600), 0);
    EXPECT_FALSE(LoadKeyFile(large, why));
    EXPECT_FALSE(LoadKeyFile(dir_.File("missing.key"), why));
    EXPECT_FALSE(LoadKeyFile(dir_.Path(), why));  // a folder
}

}  // namespace
}  // namespace quarn::labkey
