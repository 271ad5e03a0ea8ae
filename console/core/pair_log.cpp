#include "console/core/pair_log.h"

#include <zstd.h>

#include <algorithm>
#include <cstring>

namespace quarn::console {

namespace {

// iperf's lines repeat themselves with other numbers; the fastest level already packs
// them about eightfold, at a small cost per line.
constexpr int kCompressionLevel = 1;

struct CompressContext {
    ZSTD_CCtx* context = ZSTD_createCCtx();
    ~CompressContext() { ZSTD_freeCCtx(context); }
};
struct DecompressContext {
    ZSTD_DCtx* context = ZSTD_createDCtx();
    ~DecompressContext() { ZSTD_freeDCtx(context); }
};

// Logs are filled and read on the main thread; one context per thread avoids a lock.
ZSTD_CCtx* Compressor() {
    thread_local CompressContext compressor;
    return compressor.context;
}
ZSTD_DCtx* Decompressor() {
    thread_local DecompressContext decompressor;
    return decompressor.context;
}

// The cut keeps whole UTF-8 characters.
std::size_t CutPoint(std::string_view line, std::size_t limit) {
    std::size_t cut = limit;
    for (int back = 0;
         back < 3 && cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80; ++back) {
        --cut;
    }
    return cut;
}

}  // namespace

// The open block takes lines until its text would pass 64 KiB or it holds kBlockLines
// lines (empty lines carry no text but still cost an index entry); then it is sealed:
// its text followed by each line's 16-bit length is compressed into one zstd frame.
// Reading a sealed line unpacks its block once and keeps it until another is read.
struct PairLog::Impl {
    static constexpr std::size_t kBlockBytes = std::size_t{64} * 1024;
    static constexpr std::size_t kBlockLines = 8192;
    static_assert(kMaxLineBytes + kCutMark.size() <= 0xFFFF, "lengths are stored in 16 bits");
    static_assert(kMaxLineBytes + kCutMark.size() <= kBlockBytes);

    struct SealedBlock {
        std::string frame;
        std::size_t firstLine = 0;
        std::uint32_t lines = 0;
        std::uint32_t textBytes = 0;
    };

    std::vector<SealedBlock> sealed;
    std::size_t sealedLines = 0;
    std::size_t frameBytes = 0;
    std::string openText;
    std::vector<std::uint32_t> openEnds;  // end offset of each open line in openText
    std::vector<bool> counted;
    bool full = false;
    std::size_t longest = 0;  // bytes of the longest line kept

    // The one unpacked block: its index in `sealed` and its lines' start offsets.
    mutable std::size_t cachedBlock = kNoLine;
    mutable std::string cachedText;
    mutable std::vector<std::uint32_t> cachedStarts;

    std::size_t Lines() const { return counted.size(); }

    std::size_t HeldBytes() const {
        return frameBytes + sealed.size() * sizeof(SealedBlock) + openText.size() +
               openEnds.size() * sizeof(std::uint32_t) + counted.size() / 8;
    }

    void Seal() {
        if (openEnds.empty()) {
            return;
        }
        std::string raw = openText;
        raw.reserve(openText.size() + 2 * openEnds.size());
        std::uint32_t start = 0;
        for (const std::uint32_t end : openEnds) {
            const std::uint32_t length = end - start;
            raw += static_cast<char>(length & 0xFF);
            raw += static_cast<char>(length >> 8);
            start = end;
        }
        SealedBlock block;
        block.frame.resize(ZSTD_compressBound(raw.size()));
        const std::size_t packed =
            ZSTD_compressCCtx(Compressor(), block.frame.data(), block.frame.size(), raw.data(),
                              raw.size(), kCompressionLevel);
        if (ZSTD_isError(packed)) {
            block.frame = std::move(raw);  // cannot happen with a bound-sized buffer
            block.textBytes = static_cast<std::uint32_t>(openText.size());
        } else {
            block.frame.resize(packed);
            block.frame.shrink_to_fit();
        }
        block.firstLine = sealedLines;
        block.lines = static_cast<std::uint32_t>(openEnds.size());
        block.textBytes = static_cast<std::uint32_t>(openText.size());
        frameBytes += block.frame.size();
        sealedLines += openEnds.size();
        sealed.push_back(std::move(block));
        openText.clear();
        openEnds.clear();
    }

    void Store(std::string_view line, bool isCounted) {
        longest = std::max(longest, line.size());
        if (openText.size() + line.size() > kBlockBytes || openEnds.size() >= kBlockLines) {
            Seal();
        }
        openText.append(line);
        openEnds.push_back(static_cast<std::uint32_t>(openText.size()));
        counted.push_back(isCounted);
    }

    std::size_t Append(std::string_view line, bool isCounted) {
        if (full) {
            return kNoLine;
        }
        std::string cut;
        if (line.size() > kMaxLineBytes) {
            cut.assign(line.substr(0, CutPoint(line, kMaxLineBytes)));
            cut += kCutMark;
            line = cut;
        }
        if (HeldBytes() + line.size() + sizeof(std::uint32_t) > kMaxHeldBytes) {
            full = true;
            Store(kDroppedLine, false);
            return kNoLine;
        }
        Store(line, isCounted);
        return Lines() - 1;
    }

    // Unpacks block b into the cache; false (and an empty cache) when its frame is broken.
    bool Unpack(std::size_t b) const {
        if (cachedBlock == b) {
            return true;
        }
        const SealedBlock& block = sealed[b];
        cachedBlock = b;
        cachedStarts.clear();
        const std::size_t rawSize = block.textBytes + std::size_t{2} * block.lines;
        cachedText.resize(rawSize);
        const std::size_t got = ZSTD_decompressDCtx(Decompressor(), cachedText.data(), rawSize,
                                                    block.frame.data(), block.frame.size());
        if (ZSTD_isError(got) || got != rawSize) {
            if (block.frame.size() != rawSize) {
                cachedBlock = kNoLine;
                cachedText.clear();
                return false;
            }
            cachedText = block.frame;  // stored unpacked
        }
        std::uint32_t start = 0;
        cachedStarts.reserve(block.lines + std::size_t{1});
        for (std::uint32_t line = 0; line < block.lines; ++line) {
            cachedStarts.push_back(start);
            const auto* length = reinterpret_cast<const unsigned char*>(cachedText.data() +
                                                                        block.textBytes + 2 * line);
            start += static_cast<std::uint32_t>(length[0] | (length[1] << 8));
        }
        cachedStarts.push_back(std::min<std::uint32_t>(start, block.textBytes));
        return true;
    }

    std::string_view Text(std::size_t i) const {
        if (i >= sealedLines) {
            const std::size_t open = i - sealedLines;
            const std::uint32_t begin = open == 0 ? 0 : openEnds[open - 1];
            return std::string_view(openText).substr(begin, openEnds[open] - begin);
        }
        const auto after = std::upper_bound(
            sealed.begin(), sealed.end(), i,
            [](std::size_t line, const SealedBlock& block) { return line < block.firstLine; });
        const std::size_t b = static_cast<std::size_t>(after - sealed.begin()) - 1;
        if (!Unpack(b)) {
            return {};
        }
        const std::size_t line = i - sealed[b].firstLine;
        const std::uint32_t begin = std::min(cachedStarts[line], cachedStarts.back());
        const std::uint32_t end = std::min(cachedStarts[line + 1], cachedStarts.back());
        return std::string_view(cachedText).substr(begin, end - begin);
    }

    std::size_t BytesReserved() const {
        std::size_t bytes = sizeof(Impl) + sealed.capacity() * sizeof(SealedBlock) +
                            openText.capacity() + openEnds.capacity() * sizeof(std::uint32_t) +
                            counted.capacity() / 8 + cachedText.capacity() +
                            cachedStarts.capacity() * sizeof(std::uint32_t);
        for (const SealedBlock& block : sealed) {
            bytes += block.frame.capacity();
        }
        return bytes;
    }

    std::unique_ptr<Impl> Clone() const {
        auto copy = std::make_unique<Impl>();
        copy->sealed = sealed;
        copy->sealedLines = sealedLines;
        copy->frameBytes = frameBytes;
        copy->openText = openText;
        copy->openEnds = openEnds;
        copy->counted = counted;
        copy->full = full;
        return copy;
    }
};

PairLog::PairLog() : impl_(std::make_unique<Impl>()) {}

PairLog::PairLog(const PairLog& other)
    : impl_(other.impl_ ? other.impl_->Clone() : std::make_unique<Impl>()) {}

PairLog& PairLog::operator=(const PairLog& other) {
    if (this != &other) {
        impl_ = other.impl_ ? other.impl_->Clone() : std::make_unique<Impl>();
    }
    return *this;
}

PairLog::PairLog(PairLog&&) noexcept = default;
PairLog& PairLog::operator=(PairLog&&) noexcept = default;
PairLog::~PairLog() = default;

std::size_t PairLog::Append(std::string_view line, bool counted) {
    if (!impl_) {
        impl_ = std::make_unique<Impl>();
    }
    return impl_->Append(line, counted);
}

void PairLog::Clear() {
    // Dropping the storage gives a long run's memory back at once.
    impl_ = std::make_unique<Impl>();
}

std::size_t PairLog::LongestLine() const {
    return impl_ ? impl_->longest : 0;
}

std::size_t PairLog::Size() const {
    return impl_ ? impl_->Lines() : 0;
}

std::string_view PairLog::Text(std::size_t i) const {
    if (i >= Size()) {
        return {};
    }
    return impl_->Text(i);
}

bool PairLog::Counted(std::size_t i) const {
    return i < Size() && impl_->counted[i];
}

void PairLog::MarkLastCounted() {
    if (Size() > 0) {
        impl_->counted.back() = true;
    }
}

void PairLog::MarkCounted(std::size_t i) {
    if (i < Size()) {
        impl_->counted[i] = true;
    }
}

bool PairLog::Full() const {
    return impl_ && impl_->full;
}

std::size_t PairLog::BytesReserved() const {
    return impl_ ? impl_->BytesReserved() : 0;
}

}  // namespace quarn::console
