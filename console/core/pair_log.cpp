#include "console/core/pair_log.h"

#include <algorithm>
#include <cstring>

namespace quarn::console {

// Text lives in blocks that never move once allocated. Blocks are placed in a 2 GiB
// address space of 64 KiB pages (a block larger than a page spans several), so each
// line needs one 32-bit entry: bit 31 the counted flag, bits 0..30 the address of its
// first byte. A line's end is the next line's start in the same block, or the block's
// fill level. The index is chunked as well, so nothing ever reallocates what it holds.
struct PairLog::Impl {
    static constexpr std::size_t kPageBits = 16;
    static constexpr std::size_t kPageBytes = std::size_t{1} << kPageBits;
    static constexpr std::size_t kMaxPages = std::size_t{1} << (31 - kPageBits);
    static constexpr std::size_t kFirstBlockBytes = 4 * 1024;
    static constexpr std::size_t kChunkLines = 4096;
    static constexpr std::uint32_t kCountedBit = std::uint32_t{1} << 31;

    struct Block {
        std::unique_ptr<char[]> data;
        std::size_t capacity = 0;
        std::size_t used = 0;
        std::size_t firstPage = 0;
    };

    std::vector<Block> blocks;
    std::vector<std::uint32_t> pageToBlock;
    std::vector<std::unique_ptr<std::uint32_t[]>> chunks;
    std::size_t lines = 0;

    std::uint32_t& Entry(std::size_t i) { return chunks[i / kChunkLines][i % kChunkLines]; }
    std::uint32_t Entry(std::size_t i) const { return chunks[i / kChunkLines][i % kChunkLines]; }

    static std::size_t AddressOf(std::uint32_t entry) { return entry & ~kCountedBit; }
    const Block& BlockAt(std::size_t address) const {
        return blocks[pageToBlock[address >> kPageBits]];
    }

    // Small logs stay small: blocks grow 4, 8, 16, 32 KiB, then stay at one page.
    std::size_t NextBlockCapacity(std::size_t needed) const {
        std::size_t capacity = kPageBytes;
        if (blocks.size() < 4) {
            capacity = kFirstBlockBytes << blocks.size();
        }
        return std::max(capacity, needed);
    }

    // The block to write `bytes` into, or null when the address space is used up.
    Block* BlockWithRoom(std::size_t bytes) {
        // A line must start inside its block: at a full block's end its address would
        // name a page the block does not own, even for an empty line.
        if (!blocks.empty() && blocks.back().used < blocks.back().capacity &&
            blocks.back().capacity - blocks.back().used >= bytes) {
            return &blocks.back();
        }
        Block block;
        block.capacity = NextBlockCapacity(bytes);
        block.firstPage = pageToBlock.size();
        const std::size_t pages = (block.capacity + kPageBytes - 1) / kPageBytes;
        if (block.firstPage + pages > kMaxPages) {
            return nullptr;
        }
        block.data = std::make_unique_for_overwrite<char[]>(block.capacity);
        pageToBlock.insert(pageToBlock.end(), pages, static_cast<std::uint32_t>(blocks.size()));
        blocks.push_back(std::move(block));
        return &blocks.back();
    }

    void Append(std::string_view line, bool counted) {
        Block* block = BlockWithRoom(line.size());
        if (!block) {
            return;  // 2 GiB of one pair's text: later lines are not kept
        }
        const std::size_t offset = block->used;
        if (!line.empty()) {
            std::memcpy(block->data.get() + offset, line.data(), line.size());
        }
        block->used += line.size();
        if (lines % kChunkLines == 0) {
            chunks.push_back(std::make_unique_for_overwrite<std::uint32_t[]>(kChunkLines));
        }
        const std::size_t address = (block->firstPage << kPageBits) + offset;
        Entry(lines) = static_cast<std::uint32_t>(address) | (counted ? kCountedBit : 0);
        ++lines;
    }

    std::string_view Text(std::size_t i) const {
        const std::size_t address = AddressOf(Entry(i));
        const Block& block = BlockAt(address);
        const std::size_t blockStart = block.firstPage << kPageBits;
        std::size_t end = block.used;
        if (i + 1 < lines) {
            const std::size_t next = AddressOf(Entry(i + 1));
            if (&BlockAt(next) == &block) {
                end = next - blockStart;
            }
        }
        const std::size_t begin = address - blockStart;
        return {block.data.get() + begin, end - begin};
    }

    std::unique_ptr<Impl> Clone() const {
        auto copy = std::make_unique<Impl>();
        copy->blocks.reserve(blocks.size());
        for (const Block& block : blocks) {
            Block duplicate;
            duplicate.capacity = block.capacity;
            duplicate.used = block.used;
            duplicate.firstPage = block.firstPage;
            duplicate.data = std::make_unique_for_overwrite<char[]>(block.capacity);
            std::memcpy(duplicate.data.get(), block.data.get(), block.used);
            copy->blocks.push_back(std::move(duplicate));
        }
        copy->pageToBlock = pageToBlock;
        copy->chunks.reserve(chunks.size());
        for (std::size_t c = 0; c < chunks.size(); ++c) {
            copy->chunks.push_back(std::make_unique_for_overwrite<std::uint32_t[]>(kChunkLines));
            const std::size_t filled = std::min(kChunkLines, lines - c * kChunkLines);
            std::copy_n(chunks[c].get(), filled, copy->chunks.back().get());
        }
        copy->lines = lines;
        return copy;
    }

    std::size_t BytesReserved() const {
        std::size_t bytes = sizeof(Impl) + blocks.capacity() * sizeof(Block) +
                            pageToBlock.capacity() * sizeof(std::uint32_t) +
                            chunks.capacity() * sizeof(chunks[0]) +
                            chunks.size() * kChunkLines * sizeof(std::uint32_t);
        for (const Block& block : blocks) {
            bytes += block.capacity;
        }
        return bytes;
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
    const std::size_t before = impl_->lines;
    impl_->Append(line, counted);
    return impl_->lines > before ? before : kNoLine;
}

void PairLog::Clear() {
    // Dropping the storage gives a long run's memory back at once.
    impl_ = std::make_unique<Impl>();
}

std::size_t PairLog::Size() const {
    return impl_ ? impl_->lines : 0;
}

std::string_view PairLog::Text(std::size_t i) const {
    if (i >= Size()) {
        return {};
    }
    return impl_->Text(i);
}

bool PairLog::Counted(std::size_t i) const {
    if (i >= Size()) {
        return false;
    }
    return (impl_->Entry(i) & Impl::kCountedBit) != 0;
}

void PairLog::MarkLastCounted() {
    if (Size() > 0) {
        impl_->Entry(impl_->lines - 1) |= Impl::kCountedBit;
    }
}

void PairLog::MarkCounted(std::size_t i) {
    if (i < Size()) {
        impl_->Entry(i) |= Impl::kCountedBit;
    }
}

std::size_t PairLog::BytesReserved() const {
    return impl_ ? impl_->BytesReserved() : 0;
}

}  // namespace quarn::console
