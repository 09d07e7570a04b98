// The one word comparison of the program.
// Words are compared as a reader would: letter case does not matter, accents do. The rule is the
// ICU collator of the root locale at secondary strength, applied to the words decoded with their
// project's code page, so that an index built on one machine sorts the same on every other.
// Equality under it decides whether two spellings are one word; its order decides how words are
// sorted. Nothing else in the program compares words.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct UCollator;

namespace tarnwick {

class TCodePage;

class WordCollator {
public:
    // The collator of words in Windows-1252, the code page of everything outside a project.
    // Created on first use. Safe to use from several threads at once, as every collator is.
    static const WordCollator& Instance();
    // The collator of words in a project's code page (TCodePage::For's numbers), created on
    // first use and kept for the life of the process.
    static const WordCollator& For(int codePage);
    const TCodePage& CodePage() const { return codePage_; }

    // Negative, zero or positive as a sorts before, with or after b.
    int Compare(std::string_view a, std::string_view b) const;
    bool Equal(std::string_view a, std::string_view b) const { return Compare(a, b) == 0; }
    bool Less(std::string_view a, std::string_view b) const { return Compare(a, b) < 0; }

    // A byte string whose plain byte order is the word order and whose equality is word
    // equality: the key for hashing and for sorting many words at once. It is the collator's own
    // sort key (without its closing NUL); plain-ASCII words get exactly those bytes from a table
    // built from the collator at start-up, without calling it.
    std::string Key(std::string_view word) const;
    void AppendKey(std::string_view word, std::string& out) const;

    // The collator's answers without the plain-ASCII shortcuts; tests hold the two to each other.
    int CompareWithCollator(std::string_view a, std::string_view b) const;
    void AppendKeyWithCollator(std::string_view word, std::string& out) const;
    // Appends the key of a word from the ASCII table and returns true, or returns false (and
    // leaves `out` alone) when the word needs the collator.
    bool AppendAsciiKey(std::string_view word, std::string& out) const;
    // The same into a buffer of at least AsciiKeyRoom(word.size()) bytes: returns the end of
    // the key written, or null when the word needs the collator.
    char* WriteAsciiKey(std::string_view word, char* out) const;
    static size_t AsciiKeyRoom(size_t length);
    // Whether the ASCII key table passed its start-up check against the collator (when it does
    // not, every key comes from the collator).
    bool HasAsciiKeys() const { return asciiKeys_; }

    WordCollator(const WordCollator&) = delete;
    WordCollator& operator=(const WordCollator&) = delete;
    ~WordCollator();

private:
    explicit WordCollator(const TCodePage& codePage);
    bool CompareAscii(std::string_view a, std::string_view b, int& result) const;
    void BuildAsciiKeys();

    const TCodePage& codePage_;
    UCollator* collator_ = nullptr;
    // For plain ASCII bytes whose collation is one element of common accent weight: its rank in
    // collation order (equal ranks for the two cases of a letter), 0 for a byte the collator
    // ignores. kNoRank marks bytes that must go through the collator.
    static constexpr unsigned char kNoRank = 0xFF;
    unsigned char asciiRank_[128];

    // For each ASCII byte, the primary weight bytes the collator gives it in a sort key, when
    // its whole contribution to a key is those bytes plus one common accent weight (or nothing
    // at all, for an ignored byte). Length kNoWeight marks bytes that need the collator.
    struct AsciiWeight {
        unsigned char Length = 0;
        unsigned char Bytes[3] = {0, 0, 0};
    };
    static constexpr unsigned char kNoWeight = 0xFF;
    AsciiWeight asciiWeight_[128];
    // The primary byte of each byte whose weight is a single primary byte (letters and digits),
    // 0 for every other byte.
    unsigned char singlePrimary_[256];
    bool asciiKeys_ = false;
};

// Shorthands for the Windows-1252 collator.
inline int CompareWords(std::string_view a, std::string_view b) {
    return WordCollator::Instance().Compare(a, b);
}
inline bool SameWord(std::string_view a, std::string_view b) {
    return WordCollator::Instance().Equal(a, b);
}

// Strict weak ordering for standard containers and algorithms; Windows-1252 unless told.
struct WordLess {
    const WordCollator* Collator = &WordCollator::Instance();
    bool operator()(std::string_view a, std::string_view b) const { return Collator->Less(a, b); }
};

}  // namespace tarnwick
