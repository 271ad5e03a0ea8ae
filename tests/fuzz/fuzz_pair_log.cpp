// The pair log against a plain vector of lines: random appends of empty, short, overlong
// and 64 KiB lines (ASCII or split UTF-8), runs of lines that fill and seal blocks,
// counted marks, copies and clears; every line must read back as the model says.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/core/pair_log.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/log_model.h"

namespace {

using quarn::console::PairLog;

struct ModelLine {
    std::string text;  // as the log must give it back
    bool counted = false;
};
using Model = std::vector<ModelLine>;

void CheckLine(const PairLog& log, const Model& model, std::size_t i) {
    FUZZ_CHECK(log.Text(i) == model[i].text);
    FUZZ_CHECK(log.Counted(i) == model[i].counted);
}

// Every line, or with `spot` only a few: a full pass over thousands of lines per
// operation would leave the fuzzer no time for new inputs.
void CheckAll(const PairLog& log, const Model& model, bool spot = false) {
    FUZZ_CHECK(log.Size() == model.size());
    FUZZ_CHECK(log.Empty() == model.empty());
    for (std::size_t i = 0; i < model.size() && !spot; ++i) {
        CheckLine(log, model, i);
    }
    FUZZ_CHECK(log.Text(model.size()).empty());
    FUZZ_CHECK(!log.Counted(model.size()));
    // Random access after the sequential pass: first, last, middle.
    if (!model.empty()) {
        CheckLine(log, model, model.size() - 1);
        CheckLine(log, model, 0);
        CheckLine(log, model, model.size() / 2);
    }
}

class Reader {
  public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool More() const { return pos_ < size_; }
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::string Bytes(std::size_t n) {
        n = std::min(n, size_ - pos_);
        std::string text(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return text;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Around the cut limit, a page and the 64 KiB block.
constexpr std::size_t kLongSizes[] = {2047, 2048, 2049, 2050, 2051, 4096, 65535, 65536, 65537};
constexpr std::size_t kMaxLines = 12000;  // one input stays fast
constexpr int kMaxFullChecks = 3;         // per input, besides the one at its end

std::string LongLine(std::size_t length, uint8_t style, std::size_t index) {
    std::string line;
    line.reserve(length);
    if (style & 1) {
        // Three-byte sequences, shifted so the limit falls at each byte of one.
        static constexpr std::string_view kSyllable = "\xEA\xB0\x80";
        for (std::size_t i = 0; line.size() < length; ++i) {
            line += kSyllable[(i + style / 2) % 3];
        }
    } else {
        line.assign(length, static_cast<char>('a' + index % 26));
    }
    line.back() = '#';
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader input(data, size);
    PairLog log;
    Model model;
    int fullChecks = 0;
    auto spotOnly = [&fullChecks] { return ++fullChecks > kMaxFullChecks; };
    auto append = [&](std::string_view line, bool counted, bool check = true) {
        if (model.size() >= kMaxLines) {
            return;
        }
        const std::size_t index = log.Append(line, counted);
        FUZZ_CHECK(index == model.size());
        model.push_back({quarn::fuzz::ExpectedLogText(line), counted});
        // The new line and the one before it (whose end the new line may define).
        if (check) {
            CheckLine(log, model, index);
            if (index > 0) {
                CheckLine(log, model, index - 1);
            }
        }
    };

    while (input.More()) {
        const uint8_t op = input.Byte();
        const bool counted = (op & 0x80) != 0;
        switch (op & 0x0F) {
            case 0:
            case 1:
                append("", counted);
                break;
            case 2:
            case 3:
            case 4:
            case 5:
                append(input.Bytes(input.Byte() % 160), counted);
                break;
            case 6: {
                const uint8_t choice = input.Byte();
                const std::size_t length = kLongSizes[choice % std::size(kLongSizes)];
                append(LongLine(length, input.Byte(), model.size()), counted);
                break;
            }
            case 7: {
                // Up to 8 K empty or short lines: the line count seals a block too.
                const std::size_t count = std::size_t{input.Byte()} * 32 + 1;
                const bool empty = (op & 0x10) != 0;
                for (std::size_t n = 0; n < count && model.size() < kMaxLines; ++n) {
                    append(empty ? std::string() : "[  3] " + std::to_string(n), false, false);
                }
                FUZZ_CHECK(log.Size() == model.size());
                if (model.size() >= 2) {
                    CheckLine(log, model, model.size() - 2);
                    CheckLine(log, model, model.size() - 1);
                }
                break;
            }
            case 8:
                log.MarkLastCounted();
                if (!model.empty()) {
                    model.back().counted = true;
                }
                break;
            case 9: {
                const std::size_t high = input.Byte();
                const std::size_t i = high << 8 | input.Byte();
                log.MarkCounted(i);
                if (i < model.size()) {
                    model[i].counted = true;
                }
                break;
            }
            case 10: {
                PairLog copy(log);
                CheckAll(copy, model, spotOnly());
                PairLog assigned;
                assigned = copy;
                log = std::move(copy);
                FUZZ_CHECK(log.Size() == model.size() && assigned.Size() == model.size());
                if (!model.empty()) {
                    CheckLine(log, model, model.size() - 1);
                    CheckLine(assigned, model, model.size() / 3);
                }
                break;
            }
            case 11:
                if ((op & 0x30) == 0) {  // rarely: the run restarts
                    log.Clear();
                    model.clear();
                    FUZZ_CHECK(log.Size() == 0 && log.Empty());
                }
                break;
            case 12:
                CheckAll(log, model, spotOnly());
                break;
            default:
                if (!model.empty()) {
                    CheckLine(log, model, (std::size_t{op} * 7919) % model.size());
                }
                break;
        }
    }
    CheckAll(log, model);
    FUZZ_CHECK(!log.Full());  // far below the memory limit
    return 0;
}
