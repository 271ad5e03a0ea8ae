#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quarn::labkey {

inline constexpr std::size_t kKeyBytes = 32;
inline constexpr std::size_t kTagBytes = 32;  // HMAC-SHA256
inline constexpr std::size_t kNonceBytes = 16;

// The secret an EndPoint and the Consoles of one lab share. Randomness and HMAC-SHA256
// come from libgcrypt; nothing here is home-made cryptography.
class LabKey {
  public:
    // A fresh key from the library's strong random generator.
    static LabKey Generate();
    // Exactly kKeyBytes raw bytes; nullopt otherwise.
    static std::optional<LabKey> FromBytes(std::string_view bytes);

    // HMAC-SHA256 of message under the key: kTagBytes raw bytes.
    std::string Tag(std::string_view message) const;
    // Whether tag is the message's: its length is checked first, then the library compares
    // in constant time.
    bool Verifies(std::string_view message, std::string_view tag) const;

    const std::string& Bytes() const { return bytes_; }

  private:
    explicit LabKey(std::string bytes) : bytes_(std::move(bytes)) {}
    std::string bytes_;
};

// Unpredictable bytes for challenges and nonces.
std::string RandomBytes(std::size_t count);

// Lower-case hexadecimal, and back (either case); nullopt for anything else.
std::string ToHex(std::string_view bytes);
std::optional<std::string> FromHex(std::string_view hex);

}  // namespace quarn::labkey
