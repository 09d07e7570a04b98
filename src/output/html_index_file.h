// THtmlIndexFile: writes the keyword index of a help project (.hhk), an HTML sitemap whose
// entries pair an index word with a topic file. A plain sequential writer: head, one block per
// word and topic, tail. It knows nothing of the word list; the build run walks that.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace tarnwick {

class THtmlIndexFile {
public:
    // Starts the file at `path` (a path to open, "/" separated): the bytes go to a temporary
    // file that replaces an existing index only at Close, keeping its permissions and, when its
    // bytes differ, the old index as "<path>.bak". Throws EFCreateError when that fails.
    explicit THtmlIndexFile(const std::string& path, TFileSystem& system = TFileSystem::Default());

    // Call order: WriteHeader once, WriteEntry any number of times, WriteFooter once, Close.
    // Each may throw EWriteError.
    void WriteHeader();
    // One entry block for the word and one topic, both written verbatim (no escaping, no
    // trimming): the format has exactly one "Local" per block.
    void WriteEntry(std::string_view word, std::string_view topic);
    void WriteFooter();
    // Announces the size of the whole file (EntrySize summed, plus head and tail) before the
    // writing, so that the file system can set its space aside at once.
    void Reserve(std::uint64_t size);
    static constexpr std::uint64_t EntrySize(size_t wordSize, size_t topicSize) {
        return kEntryFixedSize + wordSize + topicSize;
    }
    // Puts the index in place; throws EWriteError when the bytes did not all reach the disk, and
    // then the previous index is untouched. An index destroyed without Close is not written.
    void Close();
    // After Close: where the previous version was kept; empty when none was.
    const std::string& BackupPath() const { return file_.BackupPath(); }

    // Sizes of the fixed parts, which the format never changes.
    static constexpr size_t kHeaderSize = 272;
    static constexpr size_t kEntryFixedSize = 122;
    static constexpr size_t kFooterSize = 21;

private:
    TFileWriter file_;
};

}  // namespace tarnwick
