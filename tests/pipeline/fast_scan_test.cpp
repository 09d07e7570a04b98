// The parser's fast paths against the plain rules they stand for: the byte scans against
// byte-by-byte loops, the body reader (which reads the page itself) against the words of the
// stripped text, and every reader against the same page shifted in memory, so that no answer
// depends on where a sixteen-byte block happens to start.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/page_reading.h"
#include "common/word_sets.h"
#include "pipeline/byte_scan.h"
#include "pipeline/file_words.h"
#include "pipeline/html_parser.h"

namespace tarnwick {
namespace {

using Strings = std::vector<std::string>;

Strings WordsOf(const TFileWords& words) {
    Strings result;
    for (const TFileWord& word : words.Words()) {
        result.emplace_back(word.Word);
    }
    return result;
}

Strings Parse(std::string_view page, ParseOptions options, TTextRules rules = {}) {
    THtmlParser parser(rules);
    TFileWords words;
    parser.ParsePage(page, words, nullptr, nullptr, options);
    return WordsOf(words);
}

// Pages cut from markup, entities, script and style elements, blanks of every kind, long and
// short words, and bytes from 0x80 up.
std::string RandomPage(std::mt19937& random) {
    static const Strings pieces = {"<",
                                   ">",
                                   "&",
                                   ";",
                                   " ",
                                   "\t",
                                   "\r\n",
                                   std::string(1, '\0'),
                                   "\x1F",
                                   "<p>",
                                   "</p>",
                                   "<span class=\"a\">",
                                   "<script>",
                                   "</script>",
                                   "<style",
                                   "</STYLE >",
                                   "<scr",
                                   "<s",
                                   "<Script/>",
                                   "&amp;",
                                   "&nbsp;",
                                   "&eacute;",
                                   "&#233;",
                                   "&#x41;",
                                   "&alpha;",
                                   "\x83\x41",
                                   "\x82",
                                   "AT&T",
                                   "word",
                                   "Word",
                                   "WORD",
                                   "x",
                                   "caf\xE9",
                                   "\xC9t\xE9",
                                   "(don't)",
                                   "e-mail.",
                                   "42",
                                   "Win95",
                                   "averyveryverylongidentifierthatcrossesblocks",
                                   "<title>",
                                   "</title>",
                                   "<param name=\"keyword\" value=\"",
                                   "\">",
                                   "<meta name=\"description\" content=\"",
                                   "<  PARAM",
                                   "< meta",
                                   "=",
                                   "\""};
    std::string page;
    const int count = static_cast<int>(random() % 120);
    for (int i = 0; i < count; ++i) {
        page += pieces[random() % pieces.size()];
    }
    return page;
}

TEST(ByteScanTest, ScansAgreeWithByteLoopsAtEveryOffset) {
    std::mt19937 random(5);
    const std::string alphabet = std::string("ab <&>;\t\x01\x20\x21\x7F\x80\xFF", 14) + '\0';
    for (int round = 0; round < 200; ++round) {
        std::string text;
        for (int i = static_cast<int>(random() % 80); i > 0; --i) {
            text += (random() % 4 == 0) ? alphabet[random() % alphabet.size()] : 'w';
        }
        const char* const begin = text.data();
        const char* const end = begin + text.size();
        for (size_t from = 0; from <= text.size(); ++from) {
            const char* p = begin + from;
            const char* text1 = p;
            while (text1 < end && scan::IsTextByte(static_cast<unsigned char>(*text1))) {
                ++text1;
            }
            ASSERT_EQ(scan::SkipText(p, end), text1);
            const char* blank = p;
            while (blank < end && static_cast<unsigned char>(*blank) <= 0x20) {
                ++blank;
            }
            ASSERT_EQ(scan::SkipBlanks(p, end), blank);
            for (char wanted : {'>', ';', '\0'}) {
                const char* found = p;
                while (found < end && *found != wanted) {
                    ++found;
                }
                ASSERT_EQ(scan::FindByte(p, end, wanted), found);
            }
        }
    }
}

TEST(ByteScanTest, OpeningsAreEveryLessThanBeforeASpaceOrTheNameLetters) {
    std::mt19937 random(6);
    const std::string alphabet = "<<< pPmMaq\x70\x50";
    for (int round = 0; round < 300; ++round) {
        std::string text;
        for (int i = static_cast<int>(random() % 90); i > 0; --i) {
            text += alphabet[random() % alphabet.size()];
        }
        std::vector<size_t> expected;
        for (size_t i = 0; i + 1 < text.size(); ++i) {
            const char next = text[i + 1];
            if (text[i] == '<' &&
                (next == ' ' || next == 'p' || next == 'P' || next == 'm' || next == 'M')) {
                expected.push_back(i);
            }
        }
        std::vector<size_t> found;
        scan::ForEachOpening(text.data(), text.data() + text.size(), 'p', 'm',
                             [&](size_t at) { found.push_back(at); });
        ASSERT_EQ(found, expected) << text;
    }
}

TEST(BodyReaderTest, WordsAreTheRunsOfTheStrippedText) {
    // Under the ASCII rule, and with the letters and letter references of a single-byte and a
    // double-byte code page (whose trail bytes may be ASCII letters).
    const TTextRules rulesToTry[] = {{1252, true}, {1252, false}, {932, false}};
    for (const TTextRules& rules : rulesToTry) {
        const THtmlParser trimmer(rules);
        std::mt19937 random(7);
        for (int round = 0; round < 3000; ++round) {
            const std::string page = RandomPage(random);
            // The rule: strip the markup, split at spaces, trim each run to letters and digits.
            std::string plain;
            testing::StripMarkup(page, plain,
                                 rules.AsciiLetters ? nullptr : &TCodePage::For(rules.CodePage));
            TFileWords expected;
            size_t start = 0;
            while (start <= plain.size()) {
                size_t space = plain.find(' ', start);
                if (space == std::string::npos) {
                    space = plain.size();
                }
                const std::string_view word = trimmer.TrimToAlphanumeric(
                    std::string_view(plain).substr(start, space - start));
                if (!word.empty()) {
                    testing::AddWord(expected, word, WordCollator::For(rules.CodePage));
                }
                start = space + 1;
            }
            ASSERT_EQ(Parse(page, kParseBody, rules), WordsOf(expected))
                << rules.CodePage << ::testing::PrintToString(page);
        }
    }
}

TEST(BodyReaderTest, EveryReaderIgnoresWhereThePageStarts) {
    std::mt19937 random(8);
    const ParseOptions all = kParseBody | kParseTitle | kParseKeywords | kParseDescription;
    for (int round = 0; round < 400; ++round) {
        const std::string page = RandomPage(random);
        const Strings words = Parse(page, all);
        for (size_t shift = 1; shift < 40; ++shift) {
            // Blanks in front add no word and change no reader's result.
            ASSERT_EQ(Parse(std::string(shift, ' ') + page, all), words)
                << shift << " " << ::testing::PrintToString(page);
        }
    }
}

}  // namespace
}  // namespace tarnwick
