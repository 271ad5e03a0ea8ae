#include "labkey/lab_key.h"

#include <gcrypt.h>

#include <cstdlib>
#include <mutex>

namespace quarn::labkey {
namespace {

// Once per process, before any other call: the library refuses to work uninitialised.
void Initialise() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (gcry_check_version(GCRYPT_VERSION) == nullptr) {
            std::abort();  // a library older than the one built against
        }
        // Keys live in ordinary memory; the secure pool would only warn without privileges.
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    });
}

// An open HMAC-SHA256 context keyed with key, closed when it goes.
class Mac {
  public:
    explicit Mac(const std::string& key) {
        Initialise();
        ok_ = gcry_mac_open(&handle_, GCRY_MAC_HMAC_SHA256, 0, nullptr) == 0 &&
              gcry_mac_setkey(handle_, key.data(), key.size()) == 0;
    }
    ~Mac() {
        if (handle_ != nullptr) {
            gcry_mac_close(handle_);
        }
    }
    Mac(const Mac&) = delete;
    Mac& operator=(const Mac&) = delete;

    bool Write(std::string_view message) {
        return ok_ && gcry_mac_write(handle_, message.data(), message.size()) == 0;
    }
    std::string Read() {
        std::string tag(kTagBytes, '\0');
        size_t length = tag.size();
        if (gcry_mac_read(handle_, tag.data(), &length) != 0 || length != kTagBytes) {
            return {};
        }
        return tag;
    }
    bool Verify(std::string_view tag) {
        return gcry_mac_verify(handle_, tag.data(), tag.size()) == 0;
    }

  private:
    gcry_mac_hd_t handle_ = nullptr;
    bool ok_ = false;
};

}  // namespace

LabKey LabKey::Generate() {
    Initialise();
    std::string bytes(kKeyBytes, '\0');
    gcry_randomize(bytes.data(), bytes.size(), GCRY_VERY_STRONG_RANDOM);
    return LabKey(std::move(bytes));
}

std::optional<LabKey> LabKey::FromBytes(std::string_view bytes) {
    if (bytes.size() != kKeyBytes) {
        return std::nullopt;
    }
    return LabKey(std::string(bytes));
}

std::string LabKey::Tag(std::string_view message) const {
    Mac mac(bytes_);
    return mac.Write(message) ? mac.Read() : std::string();
}

bool LabKey::Verifies(std::string_view message, std::string_view tag) const {
    if (tag.size() != kTagBytes) {
        return false;
    }
    Mac mac(bytes_);
    return mac.Write(message) && mac.Verify(tag);
}

std::string RandomBytes(std::size_t count) {
    Initialise();
    std::string bytes(count, '\0');
    gcry_randomize(bytes.data(), bytes.size(), GCRY_STRONG_RANDOM);
    return bytes;
}

std::string ToHex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        hex += kDigits[value >> 4];
        hex += kDigits[value & 0xF];
    }
    return hex;
}

std::optional<std::string> FromHex(std::string_view hex) {
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
            return (c | 0x20) - 'a' + 10;
        }
        return -1;
    };
    if (hex.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = digit(hex[i]);
        const int low = digit(hex[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes += static_cast<char>(high << 4 | low);
    }
    return bytes;
}

}  // namespace quarn::labkey
