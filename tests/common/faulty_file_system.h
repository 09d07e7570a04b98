// A file system whose writes, syncs and renames fail where a test says: a full disk after so many
// bytes, a sync or a rename refused. Handed to the writer under test instead of the real one.
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

    ssize_t Write(int fd, const char* data, size_t size) override {
        if (FailAfterBytes >= 0) {
            if (FailAfterBytes == 0) {
                errno = ENOSPC;
                return -1;
            }
            size = std::min<size_t>(size, static_cast<size_t>(FailAfterBytes));
        }
        const ssize_t n = TFileSystem::Write(fd, data, size);
        if (n > 0 && FailAfterBytes >= 0) {
            FailAfterBytes -= n;
        }
        return n;
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
};

}  // namespace tarnwick::testing
