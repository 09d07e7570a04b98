// Index entries and the word list: each index word with the topic files it was found in.
// The parse run fills the list; the build run writes one index entry per word and topic file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// A topic file as its position in the project's sorted topic list (the scanner's result). The
// word list refers to topic files by position rather than holding copies of their names.
using TopicIndex = std::uint32_t;

class TIndexEntry {
public:
    TIndexEntry(std::string word, TopicIndex firstFile) : Word(std::move(word)), Files{firstFile} {}
    virtual ~TIndexEntry() = default;

    void AddFile(TopicIndex file) { Files.push_back(file); }

    // The word in the spelling first found during the run.
    std::string Word;
    // The topic files containing the word, in the order they were parsed; never empty. A file
    // the project lists twice appears twice.
    std::vector<TopicIndex> Files;
};

}  // namespace tarnwick
