// Writing the .hhk of a big project: one million word/topic pairs (250,000 words in four topics
// each, words of 6 to 14 letters, topic paths of about 25 characters). BM_WriteIndex measures the
// index writer alone, BM_RunIndex the build run's index half (count text per word, cancel check
// and event pump included) over a real word list, so the two show what the driver adds.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/word_sets.h"
#include "output/build_run.h"
#include "output/html_index_file.h"
#include "pipeline/word_list.h"

namespace tarnwick {
namespace {

constexpr int kWords = 250'000;
constexpr int kTopicsPerWord = 4;
constexpr int kTopics = 5'000;

// A folder for the files written, removed at exit.
class BenchFolder {
public:
    BenchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tarnwick-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::exit(1);
        }
        path_ = pattern;
    }
    ~BenchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string File(const char* name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

const BenchFolder& Folder() {
    static const BenchFolder folder;
    return folder;
}

// Deterministic words: distinct, of varying length, all letters.
std::string MakeWord(int n) {
    std::string word;
    unsigned value = static_cast<unsigned>(n) * 2654435761u;
    const int length = 4 + static_cast<int>(value % 11);
    for (int i = 0; i < 6; ++i) {
        word += static_cast<char>('a' + n % 26);
        n /= 26;
    }
    while (static_cast<int>(word.size()) < length) {
        value = value * 1103515245u + 12345u;
        word += static_cast<char>('a' + (value >> 16) % 26);
    }
    word[0] = static_cast<char>(word[0] - 'a' + 'A');
    return word;
}

const std::vector<std::string>& Topics() {
    static const std::vector<std::string> topics = [] {
        std::vector<std::string> list;
        for (int i = 0; i < kTopics; ++i) {
            char name[48];
            std::snprintf(name, sizeof name, "html\\chapter%02d\\topic%05d.htm", i / 200, i);
            list.emplace_back(name);
        }
        return list;
    }();
    return topics;
}

TopicIndex TopicOf(int word, int k) {
    return static_cast<TopicIndex>((word * 7 + k * 1259) % kTopics);
}

const std::vector<std::string>& Words() {
    static const std::vector<std::string> words = [] {
        std::vector<std::string> list;
        list.reserve(kWords);
        for (int i = 0; i < kWords; ++i) {
            list.push_back(MakeWord(i));
        }
        return list;
    }();
    return words;
}

void BM_WriteIndex(benchmark::State& state) {
    const auto& words = Words();
    const auto& topics = Topics();
    const std::string path = Folder().File("Index.hhk");
    size_t bytes = 0;
    for (auto _ : state) {
        THtmlIndexFile file(path);
        file.WriteHeader();
        for (int w = 0; w < kWords; ++w) {
            for (int k = 0; k < kTopicsPerWord; ++k) {
                file.WriteEntry(words[w], topics[TopicOf(w, k)]);
            }
        }
        file.WriteFooter();
        file.Close();
        bytes = std::filesystem::file_size(path);
    }
    state.SetItemsProcessed(state.iterations() * kWords * kTopicsPerWord);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_WriteIndex)->Unit(benchmark::kMillisecond)->UseRealTime();

// Counts steps the way a dialog would refresh its labels, so the count text is really used.
class CountingProgress : public TBuildProgress {
public:
    void ShowCount(std::string_view countText, int position) override {
        length += countText.size();
        last = position;
    }
    void ReportError(std::string_view /*text*/) override {}
    size_t length = 0;
    int last = 0;
};

void BM_RunIndex(benchmark::State& state) {
    static const TWordList* list = [] {
        auto* words = new TWordList;
        for (int w = 0; w < kWords; ++w) {
            for (int k = 0; k < kTopicsPerWord; ++k) {
                testing::MergeWord(*words, Words()[w], TopicOf(w, k));
            }
        }
        return words;
    }();
    TdlgBuildNdx_InitData input;
    input.BuildIndex = true;
    input.ProjectFile = Folder().File("Big.hhp");
    input.IndexFile = "Index.hhk";
    input.Words = list;
    input.Files = &Topics();
    for (auto _ : state) {
        CountingProgress progress;
        TBuildRun run(input, progress);
        const TBuildResult result = run.Run();
        if (result.Index != IndexEnd::Completed) {
            state.SkipWithError(result.Message.c_str());
            break;
        }
        benchmark::DoNotOptimize(progress.length);
    }
    state.SetItemsProcessed(state.iterations() * kWords * kTopicsPerWord);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(
                                                     Folder().File("Index.hhk"))));
}
BENCHMARK(BM_RunIndex)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tarnwick

BENCHMARK_MAIN();
