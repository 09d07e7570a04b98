// A parse run on worker threads must be indistinguishable from one on a single thread: the same
// word list (spellings, entry order, each entry's files), the same progress calls and word
// batches in the same order, the same messages for unopenable files, and the same point where a
// cancel takes effect.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "pipeline/page_pipeline.h"
#include "pipeline/parse_run.h"

namespace tarnwick {
namespace {

using Strings = std::vector<std::string>;

// Everything a run shows or asks, in the order it happens.
class RecordingProgress : public TParseProgress {
public:
    void PumpEvents() override {
        log.push_back("pump");
        if (++pumps == cancelAtPump) {
            cancel = true;
        }
    }
    bool CancelRequested() override { return cancel; }
    void ShowMessage(std::string_view text) override {
        log.push_back("message " + std::string(text));
    }
    void ShowCount(std::string_view text, int position) override {
        log.push_back("count " + std::string(text) + " " + std::to_string(position));
    }
    void NewWords(const std::vector<std::string_view>& words) override {
        std::string batch = "words";
        for (std::string_view word : words) {
            batch += " " + std::string(word);
        }
        log.push_back(batch);
    }
    void WordsSorted() override { log.push_back("sorted"); }
    void ReportError(std::string_view text) override {
        log.push_back("error " + std::string(text));
        errors.emplace_back(text);
    }

    int pumps = 0;
    int cancelAtPump = -1;
    bool cancel = false;
    Strings log;
    Strings errors;
};

// What a run produced, for comparing runs.
struct RunRecord {
    ParseEnd End = ParseEnd::NoFolder;
    int FileIndex = 0;
    std::vector<TopicIndex> Unopened;
    Strings Entries;  // each entry's word and files, in list order
    Strings Log;
    Strings Shown;  // the errors reported

    bool operator==(const RunRecord&) const = default;
};

void PrintTo(const RunRecord& record, std::ostream* out) {
    *out << "file index " << record.FileIndex << ", " << record.Entries.size() << " entries, "
         << record.Log.size() << " progress calls, " << record.Shown.size() << " messages";
}

// A project with pages of many kinds: case and accent variants of shared words, entities,
// titles, keyword and description elements, scripts, empty and large pages; and a topic list
// with missing files, a folder, a file listed twice and an image.
class ParseThreadsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937 random(4242);
        const Strings vocabulary = {"Help",
                                    "help",
                                    "HELP",
                                    "index",
                                    "Index",
                                    "caf\xE9",
                                    "CAF\xC9",
                                    "cafe",
                                    "r\xE9sum\xE9",
                                    "resume",
                                    "AT&amp;T",
                                    "x&nbsp;y",
                                    "Win95",
                                    "3D",
                                    "don't",
                                    "(note)",
                                    "e-mail.",
                                    "na\xEFve",
                                    "stra\xDF"
                                    "e",
                                    "strasse",
                                    "\x80uro",
                                    "tab\there",
                                    "UPPER",
                                    "lower"};
        auto words = [&](int count) {
            std::string text;
            for (int i = 0; i < count; ++i) {
                text += vocabulary[random() % vocabulary.size()];
                text += (random() % 7 == 0) ? "\r\n" : " ";
                if (random() % 5 == 0) {
                    // Rarer words, in either case, so that many entries have few files.
                    std::string rare = "w";
                    for (unsigned n = random() % 3000; n > 0; n /= 26) {
                        rare += static_cast<char>((random() % 2 ? 'a' : 'A') + n % 26);
                    }
                    text += rare + " ";
                }
            }
            return text;
        };
        for (int i = 0; i < 160; ++i) {
            const std::string name = "page" + std::to_string(i) + ".htm";
            std::string page;
            switch (i % 8) {
                case 0:
                    page = "";  // empty page
                    break;
                case 1:
                    page = "<html><head><title>" + words(4) +
                           "</title><meta name=\"description\" content=\"" + words(5) +
                           "\"></head><body><p>" + words(60) + "</p></body></html>";
                    break;
                case 2:
                    page = "<object><param name=\"Keyword\" value=\"" + words(2) +
                           "\"><param name=\"keyword\" value=\"Big Topic\"></object>" +
                           "<script>var x = \"<p>hidden</p>\";</script>" + words(40);
                    break;
                case 3:
                    // A large page, so that pages finish out of order on the workers.
                    for (int k = 0; k < 300; ++k) {
                        page += "<p class=\"x\">" + words(30) + "</p>\n";
                    }
                    break;
                default:
                    page = "<p>" + words(static_cast<int>(random() % 80)) + "</p>";
            }
            folder_.Write(name, page);
            files_.push_back(name);
            if (i % 37 == 5) {
                files_.push_back("missing" + std::to_string(i) + ".htm");
            }
            if (i % 41 == 7) {
                files_.push_back(name);  // listed twice
            }
        }
        folder_.Write("folder.htm/inner.htm", "x");
        files_.push_back("folder.htm");
        files_.push_back("images\\logo.png");
        files_.push_back("sub\\Missing.HTM");
    }

    RunRecord Run(int jobs, int cancelAtPump = -1, const Strings* files = nullptr) {
        RecordingProgress progress;
        progress.cancelAtPump = cancelAtPump;
        TWordList wordList;
        TdlgParse_InitData input;
        input.ProjectFile = folder_.File("Project.hhp");
        input.Files = files ? files : &files_;
        input.WordList = &wordList;
        input.Options = kParseBody | kParseTitle | kParseKeywords | kParseDescription |
                        kExcludeNumbers | kUseDefaultExclude;
        input.DefaultListPath = folder_.Write("default.txt", "the\r\nindex\r\nCAFE\r\n");
        input.Jobs = jobs;
        const TParseResult result = RunParse(input, progress);
        RunRecord record;
        record.End = result.End;
        record.FileIndex = result.FileIndex;
        record.Unopened = result.UnopenedFiles;
        for (const TIndexEntry& entry : wordList) {
            std::string line = entry.Word + ":";
            for (TopicIndex file : entry.Files) {
                line += " " + std::to_string(file);
            }
            record.Entries.push_back(line);
        }
        record.Log = progress.log;
        record.Shown = progress.errors;
        return record;
    }

    testing::TempFolder folder_;
    Strings files_;
};

TEST_F(ParseThreadsTest, AnyNumberOfJobsGivesTheOneThreadRun) {
    const RunRecord single = Run(1);
    ASSERT_EQ(single.End, ParseEnd::Completed);
    ASSERT_GT(single.Entries.size(), 100u);
    ASSERT_EQ(single.Shown.size(), single.Unopened.size());
    ASSERT_GE(single.Unopened.size(), 5u);
    for (int jobs : {2, 3, 8, 0}) {
        EXPECT_EQ(Run(jobs), single) << jobs << " jobs";
    }
}

TEST_F(ParseThreadsTest, CancelTakesEffectAtTheSameFile) {
    for (int pump : {1, 2, 4, 40, 120}) {
        const RunRecord single = Run(1, pump);
        ASSERT_EQ(single.End, ParseEnd::Canceled) << pump;
        ASSERT_EQ(single.FileIndex, pump - 1);
        for (int jobs : {2, 5}) {
            EXPECT_EQ(Run(jobs, pump), single) << jobs << " jobs, cancel at pump " << pump;
        }
        // Canceled after n files: the words of exactly those n files.
        const Strings firstFiles(files_.begin(), files_.begin() + (pump - 1));
        EXPECT_EQ(Run(3, -1, &firstFiles).Entries, single.Entries) << pump;
    }
}

TEST_F(ParseThreadsTest, WorkersHeldToFewWordsAheadStillHandOnEveryPage) {
    // The workers take no more pages while those parsed and not yet merged hold too many words.
    // Held to none or a handful, they must still hand every page on, in order, with its words.
    TPageSource source;
    source.Folder = folder_.Folder();
    source.Files = &files_;
    source.Options = kParseBody | kParseTitle | kParseKeywords | kParseDescription;
    auto pages = [&](int jobs, size_t maxWordsAhead) {
        TPagePipeline pipeline(source, jobs, maxWordsAhead);
        Strings seen;
        for (size_t i = 0; i < files_.size(); ++i) {
            const TParsedPage& page = pipeline.Next(nullptr);
            std::string line = page.Unopenable ? "unopenable:" : ":";
            for (const TFileWord& word : page.Words.Words()) {
                line += " " + std::string(word.Word);
            }
            seen.push_back(line);
        }
        return seen;
    };
    const Strings single = pages(1, TPagePipeline::kMaxWordsAhead);
    ASSERT_GT(single.size(), 160u);
    for (size_t bound : {0, 1, 200}) {
        EXPECT_EQ(pages(3, bound), single) << bound << " words ahead";
    }
}

TEST_F(ParseThreadsTest, FewerFilesThanJobs) {
    for (const Strings& files :
         {Strings{}, Strings{"page1.htm"}, Strings{"gone.htm", "page1.htm"}}) {
        EXPECT_EQ(Run(8, -1, &files), Run(1, -1, &files)) << files.size() << " files";
    }
}

}  // namespace
}  // namespace tarnwick
