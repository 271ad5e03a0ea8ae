// The pair log against a plain vector of lines: random appends of empty, short and
// page-sized lines, counted marks, copies and clears; every line must read back as kept.
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

namespace {

using quarn::console::PairLog;

struct ModelLine {
    std::string text;
    bool counted = false;
};
using Model = std::vector<ModelLine>;

void CheckLine(const PairLog& log, const Model& model, std::size_t i) {
    FUZZ_CHECK(log.Text(i) == model[i].text);
    FUZZ_CHECK(log.Counted(i) == model[i].counted);
}

void CheckAll(const PairLog& log, const Model& model) {
    FUZZ_CHECK(log.Size() == model.size());
    FUZZ_CHECK(log.Empty() == model.empty());
    for (std::size_t i = 0; i < model.size(); ++i) {
        CheckLine(log, model, i);
    }
    FUZZ_CHECK(log.Text(model.size()).empty());
    FUZZ_CHECK(!log.Counted(model.size()));
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

// Lines around the 64 KiB page and the first block sizes of the log.
constexpr std::size_t kLongSizes[] = {65536, 65535, 65537, 4096, 4095, 32768, 61440, 131072};
constexpr int kMaxLongLines = 48;  // keeps one input under about 6 MiB

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader input(data, size);
    PairLog log;
    Model model;
    int longLines = 0;
    while (input.More()) {
        const uint8_t op = input.Byte();
        const bool counted = (op & 0x80) != 0;
        std::string line;
        switch (op & 0x0F) {
            case 0:
            case 1:
                break;  // empty line
            case 2:
            case 3:
            case 4:
            case 5:
                line = input.Bytes(input.Byte() % 160);
                break;
            case 6:
            case 7: {
                if (longLines++ >= kMaxLongLines) {
                    continue;
                }
                const std::size_t length = kLongSizes[input.Byte() % std::size(kLongSizes)];
                line.assign(length, static_cast<char>('a' + model.size() % 26));
                line.back() = '#';
                break;
            }
            case 8:
                log.MarkLastCounted();
                if (!model.empty()) {
                    model.back().counted = true;
                }
                continue;
            case 9: {
                PairLog copy(log);
                CheckAll(copy, model);
                log = std::move(copy);
                CheckAll(log, model);
                continue;
            }
            case 10:
                if ((op & 0x30) == 0) {  // rarely: the run restarts
                    log.Clear();
                    model.clear();
                }
                continue;
            default:
                CheckAll(log, model);
                continue;
        }
        log.Append(line, counted);
        model.push_back({std::move(line), counted});
        // The new line and the one before it (whose end the new line may define).
        const std::size_t last = model.size() - 1;
        FUZZ_CHECK(log.Size() == model.size());
        CheckLine(log, model, last);
        if (last > 0) {
            CheckLine(log, model, last - 1);
        }
    }
    CheckAll(log, model);
    return 0;
}
