// The file layer: reading a whole file, and writing one under an exclusive advisory lock with
// every write checked. Its errors carry the texts the program shows for file failures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarnwick {

class EFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// "Cannot create file "<path>". <reason>"
class EFCreateError : public EFileError {
public:
    EFCreateError(const std::string& path, const std::string& reason);
};
// "Cannot open file "<path>". <reason>"
class EFOpenError : public EFileError {
public:
    EFOpenError(const std::string& path, const std::string& reason);
};
// "Stream write error", or the system's text for the failed write.
class EWriteError : public EFileError {
public:
    explicit EWriteError(const std::string& reason = "Stream write error") : EFileError(reason) {}
};

// The whole file as bytes. Throws EFOpenError when it cannot be opened or read.
std::string ReadFileBytes(const std::string& path);

// Creates or truncates a file and writes it through a buffer. The file is locked for exclusive
// use (flock) before it is truncated, so two Tarnwick processes never interleave their bytes in
// one file; a file another process keeps locked for longer than `lockWaitMs` is reported as in
// use. Close() must be called to learn whether everything reached the file; the destructor of an
// unclosed writer closes the file and ignores errors.
class TFileWriter {
public:
    explicit TFileWriter(const std::string& path, int lockWaitMs = 5000);
    ~TFileWriter();
    TFileWriter(const TFileWriter&) = delete;
    TFileWriter& operator=(const TFileWriter&) = delete;

    void Write(std::string_view bytes);  // throws EWriteError
    // Room for `size` bytes (at most kBufferSize) in the buffer, flushing it first when it lacks
    // the room; the caller fills all of them before the next call. Throws EWriteError.
    char* Room(size_t size);
    void Flush();  // throws EWriteError
    // Truncates the file to what was written (a reservation's unused part is given back), then
    // closes it. Throws EWriteError.
    void Close();

    // Tells the file system that about `size` more bytes are coming, so that it sets aside their
    // space at once instead of block by block. The file's size does not change. A file system
    // that cannot reserve is no error: the writes report any real shortage.
    void Reserve(std::uint64_t size);

    const std::string& Path() const { return path_; }

    // Test hook: every writer fails with ENOSPC once this many bytes in all have been written
    // by writers of this process; a negative value (the default) turns the fault off.
    static void SetFaultAfterBytes(long long bytes);

private:
    void WriteToFile(const char* data, size_t size);

    std::string path_;
    int fd_ = -1;
    bool regular_ = false;
    std::uint64_t written_ = 0;   // bytes that reached the file
    std::uint64_t reserved_ = 0;  // end of the space reserved, from the start of the file
    std::unique_ptr<char[]> buffer_;
    size_t buffered_ = 0;

public:
    static constexpr size_t kBufferSize = 1 << 20;
};

}  // namespace tarnwick
