// Any line as one of the authenticated exchange's messages, and any datagram as a
// restart: each parses only as its exact shape, reads back as written, and nothing made
// without the key passes a keyed EndPoint's restart rules or tag checks.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "endpoint/agent/authentication.h"
#include "labkey/lab_key.h"
#include "protocol/auth_messages.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

using namespace quarn::protocol;

const quarn::labkey::LabKey& Key() {
    static const quarn::labkey::LabKey key = quarn::labkey::LabKey::Generate();
    return key;
}

void CheckHello(std::string_view line) {
    const std::optional<std::string> challenge = ParseAuthHello(line);
    if (challenge) {
        FUZZ_CHECK(IsHexOfLength(*challenge, kChallengeHexDigits));
        FUZZ_CHECK(FormatAuthHello(*challenge) == line);
        FUZZ_CHECK(IsAuthHello(line));
    }
}

void CheckChallenge(std::string_view line) {
    const std::optional<AuthChallenge> challenge = ParseAuthChallenge(line);
    if (!challenge) {
        return;
    }
    const std::string back = challenge->unkeyed
                                 ? FormatAuthNone()
                                 : FormatAuthChallenge(challenge->challenge, challenge->proof);
    FUZZ_CHECK(back == line);
    if (!challenge->unkeyed) {
        // A proof nobody with the key made does not verify.
        const auto proof = quarn::labkey::FromHex(challenge->proof);
        FUZZ_CHECK(proof && proof->size() == quarn::labkey::kTagBytes);
        FUZZ_CHECK(
            !Key().Verifies(ProofTagInput(std::string(32, '0'), challenge->challenge), *proof));
    }
}

void CheckRequest(std::string_view line) {
    const std::optional<AuthRequest> request = ParseAuthRequest(line);
    if (!request) {
        return;
    }
    FUZZ_CHECK(FormatAuthRequest(request->tag, request->request) == line);
    const auto tag = quarn::labkey::FromHex(request->tag);
    FUZZ_CHECK(tag.has_value());
    FUZZ_CHECK(!Key().Verifies(
        RequestTagInput(std::string(32, '0'), std::string(32, '1'), request->request), *tag));
}

void CheckRestart(std::string_view datagram) {
    const std::optional<AuthRestart> restart = ParseAuthRestart(datagram);
    if (restart) {
        FUZZ_CHECK(FormatAuthRestart(restart->unixSeconds, restart->nonce, restart->tag) ==
                   datagram);
        FUZZ_CHECK(ClassifyDatagram(datagram) == DatagramKind::Restart);
    }
    const std::optional<quarn::labkey::LabKey> key = Key();
    quarn::agent::RestartGuard keyed(key);
    const long long now = restart ? restart->unixSeconds : 1796000000;
    FUZZ_CHECK(!keyed.Allows(datagram, now));
    const std::optional<quarn::labkey::LabKey> none;
    quarn::agent::RestartGuard unkeyed(none);
    FUZZ_CHECK(unkeyed.Allows(datagram, now));
}

void CheckDiscovery(std::string_view datagram) {
    if (const std::optional<std::string> nonce = ParseSignedProbe(datagram)) {
        FUZZ_CHECK(FormatSignedProbe(*nonce) == datagram);
        FUZZ_CHECK(ClassifyDatagram(datagram) == DatagramKind::Probe);
    }
    if (const std::optional<ReplySignature> signature = ParseReplySignature(datagram)) {
        FUZZ_CHECK(FormatReplySignature(signature->address, signature->tag) == datagram);
        const auto tag = quarn::labkey::FromHex(signature->tag);
        FUZZ_CHECK(tag.has_value());
        FUZZ_CHECK(!Key().Verifies(ReplyTagInput(std::string(32, '0'), signature->address), *tag));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckHello(text);
    CheckChallenge(text);
    CheckRequest(text);
    CheckRestart(text);
    CheckDiscovery(text);
    return 0;
}
