// A topic file read and parsed the way the parse run does it, and the page text with its markup
// removed, against which the body reader's words are checked.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "pipeline/html_parser.h"
#include "pipeline/letter_references.h"
#include "pipeline/markup.h"

namespace tarnwick::testing {

// Reads and parses one topic file as the parse run's workers do; the run reports what cannot be
// opened or read (UnopenedFileMessage).
inline THtmlParser::ReadResult ParseFile(THtmlParser& parser, const std::string& path,
                                         TFileWords& words, const TExcludeList* defaultList,
                                         const TExcludeList* secondaryList, ParseOptions options) {
    return parser.ParseTopicFile(path, words, defaultList, secondaryList, options)
               ? THtmlParser::ReadResult::Read
               : THtmlParser::ReadResult::Unopenable;
}

// The page text with markup removed: every tag, every script or style element and every entity
// reference becomes one space, and every run of control characters one space; with a code page,
// a letter reference becomes its letter's bytes instead. The body words are the runs of bytes
// between its spaces.
inline void StripMarkup(std::string_view raw, std::string& plain,
                        const TCodePage* codePage = nullptr) {
    plain.clear();
    plain.reserve(raw.size());
    const size_t n = raw.size();
    size_t j = 0;
    while (j < n) {
        const char c = raw[j];
        if (c == '&' && codePage) {
            if (const size_t length = TLetterReferences::For(*codePage).Append(raw, j, plain)) {
                j += length;
                continue;
            }
        }
        if (c == '<' || c == '&') {
            j = markup::SkipMarkup(raw, j);
            plain += ' ';
        } else if (markup::IsControl(c)) {
            while (j < n && markup::IsControl(raw[j])) {
                ++j;
            }
            plain += ' ';
        } else {
            size_t k = j + 1;
            while (k < n && raw[k] != '<' && raw[k] != '&' && !markup::IsControl(raw[k])) {
                ++k;
            }
            plain.append(raw.data() + j, k - j);
            j = k;
        }
    }
}

}  // namespace tarnwick::testing
