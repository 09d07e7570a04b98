// The hot path of a parse run, piece by piece: the parser on a typical generated reference page
// (about 32 KB of tables, highlighted source lines and prose, as documentation generators write
// them), the word comparison and its keys for plain-ASCII and accented words, the merge of
// parsed pages into the word list, and the final sort. scripts/bench times whole runs of
// tarnwick-cli; these show where such a run spends its time.
//
// BM_ParsePage also reads a real page when TARNWICK_BENCH_PAGE names one.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "pipeline/exclude_list.h"
#include "pipeline/file_words.h"
#include "pipeline/html_parser.h"
#include "pipeline/word_list.h"
#include "support/word_compare.h"

namespace tarnwick {
namespace {

constexpr ParseOptions kAllParts = kParseBody | kParseTitle | kParseKeywords | kParseDescription |
                                   kExcludeNumbers | kUseDefaultExclude;

// Identifiers and prose words, drawn so that a few are very common and most are rare.
class WordSource {
public:
    explicit WordSource(unsigned seed) : random_(seed) {
        const char* stems[] = {"get",  "set",     "is",      "create", "find", "value",    "type",
                               "node", "context", "builder", "range",  "map",  "iterator", "size"};
        const char* prose[] = {"the",      "returns", "a",         "of",       "this",
                               "function", "if",      "is",        "to",       "and",
                               "value",    "pointer", "specified", "otherwise"};
        for (int i = 0; i < 4000; ++i) {
            std::string id = stems[i % 14];
            id += static_cast<char>('A' + i % 26);
            id += stems[(i / 14) % 14];
            if (i % 3 == 0) {
                id += std::to_string(i % 64);
            }
            identifiers_.push_back(id);
        }
        for (const char* word : prose) {
            prose_.emplace_back(word);
        }
    }
    const std::string& Identifier() {
        // Squaring a uniform number favours the first identifiers.
        const double u = std::uniform_real_distribution<double>(0, 1)(random_);
        return identifiers_[static_cast<size_t>(u * u * static_cast<double>(identifiers_.size()))];
    }
    const std::string& Prose() { return prose_[random_() % prose_.size()]; }
    unsigned Number() { return random_() % 10000; }

private:
    std::mt19937 random_;
    std::vector<std::string> identifiers_;
    std::vector<std::string> prose_;
};

std::string TypicalPage(unsigned seed) {
    WordSource words(seed);
    std::string page =
        "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\">\n<html><head>"
        "<meta http-equiv=\"Content-Type\" content=\"text/xhtml;charset=UTF-8\"/>\n"
        "<meta name=\"generator\" content=\"Doxygen 1.9.4\"/>\n<title>LLVM: " +
        words.Identifier() +
        " Class Reference</title>\n<link href=\"tabs.css\" "
        "rel=\"stylesheet\" type=\"text/css\"/>\n<script type=\"text/javascript\" "
        "src=\"jquery.js\"></script>\n</head><body>\n<div class=\"contents\">\n<table "
        "class=\"memberdecls\">\n";
    while (page.size() < 16000) {
        page += "<tr class=\"memitem:a" + std::to_string(words.Number()) +
                "\"><td class=\"memItemLeft\" align=\"right\" valign=\"top\">bool&#160;</td>"
                "<td class=\"memItemRight\" valign=\"bottom\"><a class=\"el\" href=\"class_" +
                words.Identifier() + ".html#a" + std::to_string(words.Number()) + "\">" +
                words.Identifier() +
                "</a> () const</td></tr>\n<tr class=\"memdesc:a\"><td "
                "class=\"mdescLeft\">&#160;</td><td class=\"mdescRight\">";
        for (int i = 0; i < 8; ++i) {
            page += words.Prose() + " ";
        }
        page += words.Identifier() + ". <br /></td></tr>\n";
    }
    page += "</table>\n<div class=\"fragment\">";
    int line = 1;
    while (page.size() < 32000) {
        page += "<div class=\"line\"><a id=\"l" + std::to_string(line) +
                "\" name=\"l\"></a><span class=\"lineno\">   " + std::to_string(line) +
                "</span>&#160;  <span class=\"keyword\">const</span> <a class=\"code\" "
                "href=\"x.html\">" +
                words.Identifier() + "</a> &amp;" + words.Identifier() + "(" + words.Identifier() +
                " " + words.Identifier() + ") {</div>\n";
        ++line;
    }
    page += "</div></div></body></html>\n";
    return page;
}

std::string PageFromEnvironment() {
    const char* path = std::getenv("TARNWICK_BENCH_PAGE");
    if (!path) {
        return {};
    }
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const TExcludeList& DefaultList() {
    static const TExcludeList list = [] {
        TExcludeList words;
        for (const char* word : {"a", "an", "and", "if", "is", "of", "the", "this", "to"}) {
            words.AddWord(word);
        }
        return words;
    }();
    return list;
}

void ParseBench(benchmark::State& state, const std::string& page, ParseOptions options) {
    THtmlParser parser;
    TFileWords words;
    size_t count = 0;
    for (auto _ : state) {
        words.Clear();
        // What a worker does per page; the merge sorts only the words it has not met before.
        parser.ParsePage(page, words, &DefaultList(), nullptr, options);
        count = words.Count();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(page.size()));
    state.counters["words"] = static_cast<double>(count);
}

void BM_ParsePage(benchmark::State& state) {
    ParseBench(state, TypicalPage(1), kAllParts);
}
BENCHMARK(BM_ParsePage);

void BM_ParsePageBodyOnly(benchmark::State& state) {
    ParseBench(state, TypicalPage(1), kParseBody | kExcludeNumbers | kUseDefaultExclude);
}
BENCHMARK(BM_ParsePageBodyOnly);

void BM_ParseRealPage(benchmark::State& state) {
    static const std::string page = PageFromEnvironment();
    if (page.empty()) {
        state.SkipWithError("TARNWICK_BENCH_PAGE names no page");
        return;
    }
    ParseBench(state, page, kAllParts);
}
BENCHMARK(BM_ParseRealPage);

// Words as pages hold them: identifiers, prose, and (for the second set) accented words that
// the collator must handle.
std::vector<std::string> SampleWords(bool accented) {
    WordSource source(7);
    std::vector<std::string> words;
    for (int i = 0; i < 1000; ++i) {
        std::string word = i % 2 ? source.Identifier() : source.Prose();
        if (accented && i % 2 == 0) {
            word += "\xE9";
        }
        words.push_back(word);
    }
    return words;
}

void BM_WordKey(benchmark::State& state) {
    const auto words = SampleWords(state.range(0) != 0);
    const WordCollator& collator = WordCollator::Instance();
    std::string key;
    for (auto _ : state) {
        for (const std::string& word : words) {
            key.clear();
            collator.AppendKey(word, key);
            benchmark::DoNotOptimize(key.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(words.size()));
}
BENCHMARK(BM_WordKey)->Arg(0)->Arg(1)->ArgNames({"accented"});

void BM_WordKeyCollatorOnly(benchmark::State& state) {
    const auto words = SampleWords(false);
    const WordCollator& collator = WordCollator::Instance();
    std::string key;
    for (auto _ : state) {
        for (const std::string& word : words) {
            key.clear();
            collator.AppendKeyWithCollator(word, key);
            benchmark::DoNotOptimize(key.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(words.size()));
}
BENCHMARK(BM_WordKeyCollatorOnly);

void BM_Compare(benchmark::State& state) {
    const auto words = SampleWords(state.range(0) != 0);
    const WordCollator& collator = WordCollator::Instance();
    for (auto _ : state) {
        int sum = 0;
        for (size_t i = 1; i < words.size(); ++i) {
            sum += collator.Compare(words[i - 1], words[i]);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(words.size() - 1));
}
BENCHMARK(BM_Compare)->Arg(0)->Arg(1)->ArgNames({"accented"});

// Parsed pages, as the run's thread receives them from the workers.
const std::vector<std::unique_ptr<TFileWords>>& ParsedPages() {
    static const auto pages = [] {
        std::vector<std::unique_ptr<TFileWords>> list;
        THtmlParser parser;
        for (unsigned seed = 0; seed < 400; ++seed) {
            auto words = std::make_unique<TFileWords>();
            parser.ParsePage(TypicalPage(seed), *words, &DefaultList(), nullptr, kAllParts);
            list.push_back(std::move(words));
        }
        return list;
    }();
    return pages;
}

void BM_Merge(benchmark::State& state) {
    const auto& pages = ParsedPages();
    size_t postings = 0;
    for (const auto& page : pages) {
        postings += page->Count();
    }
    size_t entries = 0;
    for (auto _ : state) {
        TWordList list;
        for (size_t i = 0; i < pages.size(); ++i) {
            list.MergeFileWords(*pages[i], static_cast<TopicIndex>(i));
        }
        entries = list.size();
        state.PauseTiming();
        list.ClearWordList();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(postings));
    state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_Merge)->Unit(benchmark::kMillisecond);

void BM_SortWordList(benchmark::State& state) {
    const auto& pages = ParsedPages();
    for (auto _ : state) {
        state.PauseTiming();
        TWordList list;
        for (size_t i = 0; i < pages.size(); ++i) {
            list.MergeFileWords(*pages[i], static_cast<TopicIndex>(i));
        }
        state.ResumeTiming();
        list.SortWordList();
        state.PauseTiming();
        list.ClearWordList();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SortWordList)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tarnwick

BENCHMARK_MAIN();
