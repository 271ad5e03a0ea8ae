// Any bytes as the request a /metrics client sends, and as a --metrics address: every
// request gets one well-formed HTTP answer, the page only for GET or HEAD of /metrics.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "address/ip_address.h"
#include "console/records/metrics_server.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

const std::string kPage = "# TYPE quarn_pair_throughput_mbps gauge\nquarn_up 1\n";

// What the answer must be, worked out from the request line on its own.
std::string ExpectedStatus(const std::string& request) {
    const std::string line = request.substr(0, request.find_first_of("\r\n"));
    const std::size_t first = line.find(' ');
    if (first == std::string::npos) {
        return "400";
    }
    const std::size_t second = line.find(' ', first + 1);
    if (second == std::string::npos || line.substr(second + 1, 7) != "HTTP/1.") {
        return "400";
    }
    const std::string method = line.substr(0, first);
    if (method != "GET" && method != "HEAD") {
        return "405";
    }
    const std::string target = line.substr(first + 1, second - first - 1);
    return target.substr(0, target.find('?')) == "/metrics" ? "200" : "404";
}

void CheckResponse(const std::string& request) {
    const std::string response = quarn::console::records::MetricsResponse(request, kPage);
    FUZZ_CHECK(response.starts_with("HTTP/1.1 "));
    const std::string status = ExpectedStatus(request);
    FUZZ_CHECK(response.compare(9, 3, status) == 0);
    const std::size_t headEnd = response.find("\r\n\r\n");
    FUZZ_CHECK(headEnd != std::string::npos);
    const std::string head = response.substr(0, headEnd);
    const std::string body = response.substr(headEnd + 4);
    // Four header lines of our own: the request's bytes never reach the head.
    int lines = 1;
    for (std::size_t i = 0; i < head.size(); ++i) {
        if (head[i] == '\n') {
            FUZZ_CHECK(i > 0 && head[i - 1] == '\r');
            ++lines;
        }
    }
    FUZZ_CHECK(lines == 4);
    const bool headOnly = status == "200" && request.starts_with("HEAD ");
    if (status == "200") {
        FUZZ_CHECK(body == (headOnly ? "" : kPage));
        FUZZ_CHECK(head.find("Content-Length: " + std::to_string(kPage.size())) !=
                   std::string::npos);
    } else {
        FUZZ_CHECK(body.starts_with(status));
        FUZZ_CHECK(head.find("Content-Length: " + std::to_string(body.size())) !=
                   std::string::npos);
    }
}

void CheckListenAddress(const std::string& text) {
    const auto where = quarn::console::records::ParseListenAddress(text);
    FUZZ_CHECK(where.Ok() == where.Why().empty());
    if (!where) {
        return;
    }
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        // never the network by accident
        FUZZ_CHECK(where->address == quarn::IpAddress::V4(0x7F000001));
    } else {
        // The address written out, an IPv6 one in brackets.
        const std::string host = text.substr(0, colon);
        const auto written = quarn::ParseIpAddress(host);
        FUZZ_CHECK(written && written->Unmapped() == where->address);
        FUZZ_CHECK(written->IsV4() || host.starts_with('['));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckResponse(text);
    CheckListenAddress(text.substr(0, text.find('\n')));
    return 0;
}
