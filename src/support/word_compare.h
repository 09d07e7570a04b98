// The one word comparison of the program.
// Words are compared as a reader would: letter case does not matter, accents do. The rule is the
// ICU collator of the root locale at secondary strength, applied to the Windows-1252-decoded
// words, so that an index built on one machine sorts the same on every other. Equality under it
// decides whether two spellings are one word; its order decides how words are sorted. Nothing
// else in the program compares words.
#pragma once

#include <string>
#include <string_view>

struct UCollator;

namespace tarnwick {

class WordCollator {
public:
    // The program-wide collator, created on first use. Safe to use from several threads at once.
    static const WordCollator& Instance();

    // Negative, zero or positive as a sorts before, with or after b.
    int Compare(std::string_view a, std::string_view b) const;
    bool Equal(std::string_view a, std::string_view b) const { return Compare(a, b) == 0; }
    bool Less(std::string_view a, std::string_view b) const { return Compare(a, b) < 0; }

    // A byte string whose plain byte order is the word order and whose equality is word
    // equality: the key for hashing and for sorting many words at once.
    std::string Key(std::string_view word) const;
    void AppendKey(std::string_view word, std::string& out) const;

    // The collator's answer without the plain-ASCII shortcut; tests hold the two to each other.
    int CompareWithCollator(std::string_view a, std::string_view b) const;

    WordCollator(const WordCollator&) = delete;
    WordCollator& operator=(const WordCollator&) = delete;
    ~WordCollator();

private:
    WordCollator();
    bool CompareAscii(std::string_view a, std::string_view b, int& result) const;

    UCollator* collator_ = nullptr;
    // For plain ASCII bytes whose collation is one element of common accent weight: its rank in
    // collation order (equal ranks for the two cases of a letter), 0 for a byte the collator
    // ignores. kNoRank marks bytes that must go through the collator.
    static constexpr unsigned char kNoRank = 0xFF;
    unsigned char asciiRank_[128];
};

// Shorthands for the program-wide collator.
inline int CompareWords(std::string_view a, std::string_view b) {
    return WordCollator::Instance().Compare(a, b);
}
inline bool SameWord(std::string_view a, std::string_view b) {
    return WordCollator::Instance().Equal(a, b);
}

// Strict weak ordering for standard containers and algorithms.
struct WordLess {
    bool operator()(std::string_view a, std::string_view b) const {
        return WordCollator::Instance().Less(a, b);
    }
};

}  // namespace tarnwick
