// The word sets of the pipeline filled and asked one word at a time, the way the program fills
// and asks them: a word is offered to a file's words as the parser offers it, merged into the
// word list through a file's words, and looked up in an exclude list by its comparison key.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "pipeline/exclude_list.h"
#include "pipeline/file_words.h"
#include "pipeline/text_hash.h"
#include "pipeline/word_list.h"
#include "support/word_compare.h"

namespace tarnwick::testing {

// Offers `word` to `words` and settles it, with no filter. Returns whether it was added (the file
// held no word equal to it). Each test thread has one lexicon per collator, as each parser of a
// run has one.
inline bool AddWord(TFileWords& words, std::string_view word,
                    const WordCollator& collator = WordCollator::Instance()) {
    thread_local std::map<const WordCollator*, std::unique_ptr<TLexicon>> lexicons;
    std::unique_ptr<TLexicon>& lexicon = lexicons[&collator];
    if (!lexicon) {
        lexicon = std::make_unique<TLexicon>(TLexicon::kDefaultMaxBytes, collator);
    }
    const size_t before = words.Count();
    words.Offer(word, *lexicon, TWordFilter{});
    words.Settle();
    return words.Count() > before;
}

// Merges one word found in topic file `file`, as the parse run merges a file's words. Returns
// whether a new entry was made.
inline bool MergeWord(TWordList& list, std::string_view word, TopicIndex file) {
    TFileWords words;
    AddWord(words, word);
    const size_t before = list.size();
    list.MergeFileWords(words, file);
    return list.size() > before;
}

// The first entry whose word equals `word` under the word comparison, or null.
inline const TIndexEntry* FindEntry(const TWordList& list, std::string_view word) {
    for (const TIndexEntry& entry : list) {
        if (WordCollator::Instance().Equal(entry.Word, word)) {
            return &entry;
        }
    }
    return nullptr;
}

// Whether the list holds a word equal to `word`, asked as the parser's filter asks.
inline bool IsExcluded(const TExcludeList& list, std::string_view word,
                       const WordCollator& collator = WordCollator::Instance()) {
    const std::string key = collator.Key(word);
    return list.IsExcludedKey(key, HashText(key));
}

}  // namespace tarnwick::testing
