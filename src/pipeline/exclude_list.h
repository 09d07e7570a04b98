// TExcludeList: one exclude-list file (plain text, one word per line) held as a sorted set of
// words under the word comparison. The parser drops every candidate the list holds; the main
// window adds words to a list and saves it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/text_map.h"
#include "platform/file_system.h"
#include "support/word_compare.h"

namespace tarnwick {

// The lines of the exclude-list file at `path` (a regular file of at most kMaxListFileSize
// bytes), kept exactly as written: the text ends at its first NUL; a line ends at CR LF, a lone
// CR or a lone LF; a last line without a line break counts. Throws EFOpenError with the path and
// the reason.
std::vector<std::string> ReadListLines(const std::string& path);

class TExcludeList {
public:
    // An empty list with an empty FileName, of Windows-1252 words.
    TExcludeList() = default;
    // Loads the file at `fileName` (when not empty). The text ends at the end of the file or at
    // its first NUL byte; lines end at CR LF, a lone CR or a lone LF; a last line without a line
    // break counts; lines are taken exactly as written (no trimming) and of lines equal under the
    // word comparison only the first read stays. Throws EFOpenError when the file cannot be read.
    // The words are compared by `collator` (that of the project's code page), which outlives
    // the list.
    explicit TExcludeList(std::string fileName,
                          const WordCollator& collator = WordCollator::Instance());

    // Whether the list holds a word whose comparison key (WordCollator::Key) is `key`, given
    // with its HashText: a word equal to it under the word comparison (whole words only). Const
    // and free of caches, so several threads may ask at once.
    bool IsExcludedKey(std::string_view key, std::uint64_t keyHash) const {
        return keys_.Find(key, keyHash) != nullptr;
    }
    // Inserts `word` in its sorted place unless an equal word is held (the held spelling stays).
    // Returns whether it was inserted.
    bool AddWord(std::string_view word);
    // Writes every word in sorted order, each followed by CR LF, replacing the file whole once
    // all is written (a failed save leaves the file as it was); does nothing when FileName is
    // empty. Throws EFCreateError or EWriteError.
    void Save(TFileSystem& system = TFileSystem::Default()) const;

    size_t Count() const { return words_.size(); }
    // The words in sorted order.
    const std::vector<std::string>& Words() const { return words_; }

    // Full path of the file the list was loaded from and is saved to; may be empty.
    std::string FileName;

    // A number that changes whenever the words may have changed (AddWord, a move from the list)
    // and that no other list of the process has, so that a parser can tell whether a verdict it
    // remembers still holds.
    std::uint64_t ChangeStamp() const { return stamp_.Value(); }

private:
    class TChangeStamp {
    public:
        TChangeStamp() : value_(Next()) {}
        TChangeStamp(const TChangeStamp&) : value_(Next()) {}
        TChangeStamp(TChangeStamp&& other) noexcept : value_(other.value_) { other.Renew(); }
        TChangeStamp& operator=(const TChangeStamp&) {
            Renew();
            return *this;
        }
        TChangeStamp& operator=(TChangeStamp&& other) noexcept {
            value_ = other.value_;
            other.Renew();
            return *this;
        }
        std::uint64_t Value() const { return value_; }
        void Renew() { value_ = Next(); }

    private:
        static std::uint64_t Next();
        std::uint64_t value_;
    };

    // Position of the first word not less than `word`, and whether it is equal.
    size_t LowerBound(std::string_view word, bool& equal) const;

    const WordCollator* collator_ = &WordCollator::Instance();
    std::vector<std::string> words_;
    // The comparison keys of the words held.
    TTextMap<bool> keys_;
    TChangeStamp stamp_;
};

}  // namespace tarnwick
