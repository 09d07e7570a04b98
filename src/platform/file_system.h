// The file layer: every read of a file Tarnwick did not just make, and every write, goes through
// here. Reads take regular files only and stop at a size limit, so a named pipe, a device or a
// runaway file can never hang the program or eat its memory. Writes go to a temporary file beside
// the target that replaces it only when complete and synced, so a full disk, a kill or a power
// cut leaves the old file or the new one, never a mix. Its errors carry the texts the program
// shows for file failures.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace tarnwick {

class EFileError : public std::runtime_error {
public:
    explicit EFileError(const std::string& text, std::string reason = {})
        : std::runtime_error(text), reason_(std::move(reason)) {}
    // The system's reason alone, without the path ("No space left on device").
    const std::string& Reason() const { return reason_; }

private:
    std::string reason_;
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
    explicit EWriteError(const std::string& reason = "Stream write error")
        : EFileError(reason, reason) {}
};

// Nothing a user keeps as a project file or a word list comes near this; a file beyond it is
// something else given by mistake (a log, an image, a device) and is refused before it is read.
inline constexpr std::uint64_t kMaxProjectFileSize = std::uint64_t{64} << 20;
inline constexpr std::uint64_t kMaxListFileSize = std::uint64_t{64} << 20;

// The system calls that can fail halfway through a write. The default passes them straight on;
// a test derives from it to fail a write at a chosen byte, a sync or a rename, and hands its own
// object to the writer under test.
class TFileSystem {
public:
    virtual ~TFileSystem() = default;

    // The one object that talks to the real system.
    static TFileSystem& Default();

    // write(2): bytes written, or -1 with errno set.
    virtual ssize_t Write(int fd, const char* data, size_t size);
    // fsync(2): 0, or -1 with errno set.
    virtual int Sync(int fd);
    // rename(2): 0, or -1 with errno set.
    virtual int Rename(const std::string& from, const std::string& to);
    // pwrite(2): bytes written at `offset`, or -1 with errno set.
    virtual ssize_t WriteAt(int fd, const char* data, size_t size, std::int64_t offset);
    // CreateLockedTemporary (below): the descriptor, or -1 with errno set.
    virtual int CreateTemporary(std::string& pathTemplate);
};

// A regular file open for reading. Opening refuses at once - without waiting for a pipe's writer -
// whatever is not a regular file. For readers that keep their own buffers (the topic pages).
class TRegularFile {
public:
    // Opens `path`; Error() is then 0, or the errno of the failure (EISDIR for a folder, EINVAL
    // for a pipe, device or socket, as Mode() tells).
    explicit TRegularFile(const std::string& path);
    ~TRegularFile();
    TRegularFile(const TRegularFile&) = delete;
    TRegularFile& operator=(const TRegularFile&) = delete;

    int Error() const { return error_; }
    // The file's type bits when it was found but refused; 0 otherwise.
    mode_t Mode() const { return mode_; }
    // The size when opened; the file may still grow or shrink while it is read.
    std::uint64_t Size() const { return size_; }
    // Up to `size` bytes at the current position: the count (0 at the end), or -1 with errno set.
    ssize_t Read(char* data, size_t size);
    // The reason a failure gives the user: the system's text, or what the file is instead.
    std::string Reason() const;

private:
    int fd_ = -1;
    int error_ = 0;
    mode_t mode_ = 0;
    std::uint64_t size_ = 0;
};

// The whole of a regular file as bytes. Anything else - a folder, a named pipe, a device, a
// socket - is refused at once without waiting for a writer, and a file larger than `limit` is
// refused before it is read; `what` names what the file should have been ("a project file") in
// that message. Throws EFOpenError with the path and the reason.
std::string ReadRegularFile(const std::string& path, std::uint64_t limit, std::string_view what);

// The reason a read of `path` would be refused before any byte is read (it does not exist, is a
// folder, a pipe, a device...), or an empty text when it is a readable regular file.
std::string RegularFileProblem(const std::string& path);

// Opens `path` as open(2) does with `flags` (and `createMode` when they create), without waiting
// for a pipe's other end or taking a terminal, and keeps it only when it is a regular file.
// Returns the descriptor, blocking again; or -1 with errno set, and then, for an entry that is
// no regular file, `refusedMode` holds its type bits (0 otherwise). For readers and writers at
// offsets that word their own refusals (the data container).
int OpenRegularFile(const std::string& path, int flags, mode_t createMode, mode_t& refusedMode);

// Up to `size` bytes at `offset` (pread), going on after a signal or a short read: the count,
// fewer only at the end of the file, or -1 with errno set.
std::int64_t ReadAt(int fd, std::int64_t offset, void* data, std::size_t size);

// Takes flock(2)'s LOCK_SH or LOCK_EX, waiting up to `waitMs` for another process to let go.
// Returns 0, or the errno (EWOULDBLOCK when the wait ran out).
int LockWithin(int fd, int operation, int waitMs);

// Whether `path` still names the open file `fd`: a writer that renames a new file over the old
// one leaves a lock on the old one guarding nothing.
bool NamesOpenFile(const std::string& path, int fd);

// Makes a new name in `folder` durable; best effort, as some file systems cannot sync a folder.
void SyncFolder(const std::string& folder);

// Plain calls on a file opened with OpenRegularFile, for its user's own bookkeeping. Those that
// can fail return 0, or -1 with errno set.
int CloseDescriptor(int fd);
// The size of the open file, or -1 with errno set.
std::int64_t OpenFileSize(int fd);
// Empties the open file.
int TruncateFile(int fd);
// The permission bits of the open file when it is a regular file; false otherwise.
bool RegularFilePermissions(int fd, mode_t& permissions);
// Gives the open file these permission bits; best effort.
void SetFilePermissions(int fd, mode_t permissions);
// The path with every symbolic link and "." or ".." resolved, or the path itself when it cannot
// be resolved.
std::string ResolvedPath(const std::string& path);
// Removes the name; 0, or -1 with errno set.
int RemoveFile(const std::string& path);

// Makes a temporary file from `pathTemplate`, whose last six characters are "XXXXXX" and become
// the name made, and holds it locked (flock) for as long as the descriptor stays open, so that
// a clean-up in another process leaves it alone. Returns the descriptor, or -1 with errno set.
int CreateLockedTemporary(std::string& pathTemplate);

// Copies `source` (a regular file of at most `limit` bytes, `what` naming it as ReadRegularFile
// does) to `target` unless something already stands at `target`. The bytes go to a temporary
// file first and take the final name only when complete (mode 0644), so a full disk never
// leaves half a file behind. Returns an empty text, or the text of the failure.
std::string CopyWithoutOverwriting(const std::string& source, const std::string& target,
                                   std::uint64_t limit, std::string_view what);

// Removes from `folder` the regular files whose names `isTemporary` accepts and that no process
// holds locked: what writes stopped by a crash or a kill left behind (a writer keeps its
// temporary file locked from CreateLockedTemporary on). Symbolic links are not followed. Returns
// how many were removed; a folder that cannot be read removes nothing.
int RemoveLeftoverTemporaries(const std::string& folder,
                              const std::function<bool(std::string_view)>& isTemporary);
// The same for this layer's own temporary files: for every target or, when `target` is given,
// only for that file name (and its backup).
int RemoveLeftoverTemporaries(const std::string& folder, std::string_view target = {});

// Writes one file through a buffer and puts it in place when closed.
//
// A regular file (new or existing) is written to a temporary file in the same folder, which
// Close() syncs, gives the permissions of the file it replaces (a new file gets the usual 0666
// less the umask) and renames over the target; a writer destroyed without Close() removes its
// temporary file and leaves the target as it was. While it works the writer holds an exclusive
// lock on the existing target, so two Tarnwick processes writing one file take turns and the
// last to finish wins whole. A path that ends in a symbolic link is written where the link points,
// the link staying in place. Devices and named pipes (/dev/stdout, /dev/null) are written
// directly, as a stream.
class TFileWriter {
public:
    struct Options {
        // How long to wait for another Tarnwick process to finish with the file.
        int LockWaitMs = 5000;
        // When the new bytes differ from an existing file's, keep the old file beside the new
        // one as "<name>.bak" (one generation; its permissions kept).
        bool KeepBackup = false;
    };

    explicit TFileWriter(const std::string& path, TFileSystem& system = TFileSystem::Default());
    TFileWriter(const std::string& path, const Options& options,
                TFileSystem& system = TFileSystem::Default());
    ~TFileWriter();
    TFileWriter(const TFileWriter&) = delete;
    TFileWriter& operator=(const TFileWriter&) = delete;

    void Write(std::string_view bytes);  // throws EWriteError
    // Room for `size` bytes (at most kBufferSize) in the buffer, flushing it first when it lacks
    // the room; the caller fills all of them before the next call. Throws EWriteError.
    char* Room(size_t size);
    void Flush();  // throws EWriteError
    // Writes what is buffered, syncs it and puts the file in place. Throws EWriteError, and then
    // the target is unchanged.
    void Close();

    // Tells the file system that about `size` more bytes are coming, so that it sets aside their
    // space at once instead of block by block. The file's size does not change. A file system
    // that cannot reserve is no error: the writes report any real shortage.
    void Reserve(std::uint64_t size);

    const std::string& Path() const { return path_; }
    // After Close(): the path of the previous version kept, or empty when none was (the file was
    // new, unchanged, or no backup was asked for).
    const std::string& BackupPath() const { return backupPath_; }

    static constexpr size_t kBufferSize = 1 << 20;

private:
    void Open(const Options& options);
    void WriteToFile(const char* data, size_t size);
    void KeepPreviousVersion();
    void Discard() noexcept;

    TFileSystem& system_;
    std::string path_;       // as given
    std::string target_;     // the file that is replaced (a symbolic link's destination)
    std::string temporary_;  // empty when writing a device or pipe directly
    int fd_ = -1;
    int targetLock_ = -1;  // the existing target, locked while this writer works
    bool keepBackup_ = false;
    bool targetExisted_ = false;
    std::uint64_t written_ = 0;        // bytes that reached the file
    std::uint64_t reserved_ = 0;       // end of the space reserved, from the start of the file
    std::uint64_t startedToDisk_ = 0;  // bytes whose writing to the disk has been started
    static constexpr std::uint64_t kDiskHandOver = 8 << 20;
    std::unique_ptr<char[]> buffer_;
    size_t buffered_ = 0;
    std::string backupPath_;
    std::string backupLink_;  // the old file's second name until the new one is in place
};

}  // namespace tarnwick
