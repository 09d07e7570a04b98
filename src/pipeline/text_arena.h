// TTextArena: storage for many short byte strings that live and die together (the words and
// keys of a file, of a run). Bytes are copied into large blocks, so a copy costs no allocation
// and the views handed out stay valid until Clear.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick {

class TTextArena {
public:
    explicit TTextArena(size_t blockSize = 64 * 1024) : blockSize_(blockSize) {}
    TTextArena(const TTextArena&) = delete;
    TTextArena& operator=(const TTextArena&) = delete;
    // The arena moved from holds nothing and takes new strings into blocks of its own.
    TTextArena(TTextArena&& other) noexcept
        : blockSize_(other.blockSize_),
          blocks_(std::move(other.blocks_)),
          next_(std::exchange(other.next_, nullptr)),
          end_(std::exchange(other.end_, nullptr)) {
        other.blocks_.clear();
    }
    TTextArena& operator=(TTextArena&& other) noexcept {
        if (this != &other) {
            blockSize_ = other.blockSize_;
            blocks_ = std::move(other.blocks_);
            next_ = std::exchange(other.next_, nullptr);
            end_ = std::exchange(other.end_, nullptr);
            other.blocks_.clear();
        }
        return *this;
    }

    // A copy of `text`, valid until Clear or destruction.
    std::string_view Store(std::string_view text) {
        if (text.empty()) {
            return {};
        }
        if (static_cast<size_t>(end_ - next_) < text.size()) {
            NewBlock(text.size());
        }
        char* at = next_;
        std::memcpy(at, text.data(), text.size());
        next_ += text.size();
        return {at, text.size()};
    }

    // Forgets every string. A first block of the standard size is kept for reuse; the others
    // are released.
    void Clear() {
        if (!blocks_.empty() && blocks_.front().Size == blockSize_) {
            blocks_.resize(1);
            next_ = blocks_.front().Bytes.get();
            end_ = next_ + blockSize_;
        } else {
            blocks_.clear();
            next_ = end_ = nullptr;
        }
    }

private:
    struct Block {
        std::unique_ptr<char[]> Bytes;
        size_t Size = 0;
    };

    void NewBlock(size_t atLeast) {
        // A string longer than a block gets a block of its own.
        const size_t size = atLeast > blockSize_ ? atLeast : blockSize_;
        blocks_.push_back(Block{std::make_unique_for_overwrite<char[]>(size), size});
        next_ = blocks_.back().Bytes.get();
        end_ = next_ + size;
    }

    size_t blockSize_;
    std::vector<Block> blocks_;
    char* next_ = nullptr;
    char* end_ = nullptr;
};

}  // namespace tarnwick
