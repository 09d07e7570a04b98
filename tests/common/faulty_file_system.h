// A file system whose writes, syncs, renames and temporary files fail where a test says: a full
// disk after so many bytes, a sync, a rename or a temporary file refused. Handed to the writer
// under test instead of the real one.
#pragma once

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/file_system.h"

namespace tarnwick::testing {

class TFaultyFileSystem : public TFileSystem {
public:
    // Writes fail with ENOSPC once this many bytes in all have been written; negative: never.
    long long FailAfterBytes = -1;
    // The errno every sync / rename fails with; 0: they succeed.
    int SyncError = 0;
    int RenameError = 0;
    // The errno every temporary file fails with (as in a folder that cannot be written); 0: made.
    int TemporaryError = 0;

    ssize_t Write(int fd, const char* data, size_t size) override {
        if (!Room(size)) {
            return -1;
        }
        return Count(TFileSystem::Write(fd, data, size));
    }
    ssize_t WriteAt(int fd, const char* data, size_t size, std::int64_t offset) override {
        if (!Room(size)) {
            return -1;
        }
        return Count(TFileSystem::WriteAt(fd, data, size, offset));
    }
    int Sync(int fd) override {
        if (SyncError != 0) {
            errno = SyncError;
            return -1;
        }
        return TFileSystem::Sync(fd);
    }
    int Rename(const std::string& from, const std::string& to) override {
        if (RenameError != 0) {
            errno = RenameError;
            return -1;
        }
        return TFileSystem::Rename(from, to);
    }
    int CreateTemporary(std::string& pathTemplate) override {
        if (TemporaryError != 0) {
            errno = TemporaryError;
            return -1;
        }
        return TFileSystem::CreateTemporary(pathTemplate);
    }

private:
    // Cuts a write to the bytes left before the disk is full; false (errno ENOSPC) when none are.
    bool Room(size_t& size) {
        if (FailAfterBytes >= 0) {
            if (FailAfterBytes == 0) {
                errno = ENOSPC;
                return false;
            }
            size = std::min<size_t>(size, static_cast<size_t>(FailAfterBytes));
        }
        return true;
    }
    ssize_t Count(ssize_t written) {
        if (written > 0 && FailAfterBytes >= 0) {
            FailAfterBytes -= written;
        }
        return written;
    }
};

}  // namespace tarnwick::testing
