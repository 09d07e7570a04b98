// TMappedFile: a regular file's bytes mapped into memory for reading, so that a large page is
// parsed where the page cache holds it instead of being copied out first.
//
// A mapped file that another program shortens while it is read would stop the whole program
// with SIGBUS at the first byte past its new end. A mapping here is guarded instead: those bytes
// read as zeros, and Shrunk() tells the reader to read the file again the ordinary way.
#pragma once

#include <cstddef>
#include <string_view>
#include <utility>

namespace tarnwick {

class TMappedFile {
public:
    TMappedFile() = default;
    ~TMappedFile();
    TMappedFile(const TMappedFile&) = delete;
    TMappedFile& operator=(const TMappedFile&) = delete;
    TMappedFile(TMappedFile&& other) noexcept { *this = std::move(other); }
    TMappedFile& operator=(TMappedFile&& other) noexcept;

    // Maps the first `size` bytes of the open regular file `fd` (which may be closed afterwards)
    // and makes it this thread's guarded mapping. False, with nothing mapped, when the system
    // cannot map it: the caller reads the file instead. Any earlier mapping is released first.
    bool Map(int fd, size_t size);
    // Releases the mapping; the view is no longer valid.
    void Unmap() noexcept;

    std::string_view View() const { return {data_, size_}; }
    // Whether the file turned out shorter than mapped when its bytes were read on this thread.
    bool Shrunk() const;

    // One guarded mapping per thread: a thread maps, reads and releases one page at a time.
private:
    char* data_ = nullptr;
    size_t size_ = 0;
    size_t mappedSize_ = 0;
};

}  // namespace tarnwick
