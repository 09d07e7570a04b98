// How many of a project's topics each word is found in. A word found in most topics ("click",
// "page", "see") tells a reader nothing about where to look; the share of topics a word is found
// in is what lets an author drop such words in one step instead of one at a time.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "pipeline/word_list.h"

namespace tarnwick {

// The topics a share is taken of: the project's topic entries that are pages. Entries that name
// pictures, style sheets and other assets hold no words and do not count; a page the project
// lists twice counts twice, as the word list counts it.
size_t PageTopicCount(const std::vector<std::string>& files);

// Whether a word found in `wordTopics` of `topics` topics is found in more than `percent` % of
// them; a word found in exactly that share is not. No word is common in a project of no pages.
inline bool IsCommonWord(size_t wordTopics, size_t topics, int percent) {
    return topics > 0 && percent >= 0 && wordTopics * 100 > static_cast<size_t>(percent) * topics;
}

// The number of topics of an entry.
inline size_t TopicCount(const TIndexEntry& entry) {
    return entry.Files.size();
}

}  // namespace tarnwick
