#include "fuzz_targets.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>

#include "app/program_folders.h"
#include "common/page_reading.h"
#include "common/word_sets.h"
#include "pipeline/exclude_list.h"
#include "pipeline/file_words.h"
#include "pipeline/hhp_scanner.h"
#include "pipeline/html_parser.h"
#include "platform/os.h"
#include "store/config.h"
#include "store/kdf.h"
#include "store/mru_item.h"
#include "support/code_page.h"
#include "support/message.h"
#include "support/word_compare.h"

namespace tarnwick::fuzz {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Broken(const char* target, const std::string& rule) {
    std::fprintf(stderr, "%s: broken rule: %s\n", target, rule.c_str());
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(target, condition, rule) \
    do {                                    \
        if (!(condition)) {                 \
            Broken(target, rule);           \
        }                                   \
    } while (false)

std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return size == 0 ? std::string_view()
                     : std::string_view(reinterpret_cast<const char*>(data), size);
}

bool IsAlphanumeric(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool HasControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}
bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

// A private folder for the targets that need files: under $TARNWICK_FUZZ_TMP, else /dev/shm
// (no disk writes at thousands of runs a second), else the system's temporary folder. Removed
// when the process ends normally.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string base;
        if (const char* chosen = std::getenv("TARNWICK_FUZZ_TMP"); chosen && *chosen) {
            base = chosen;
        } else if (::access("/dev/shm", W_OK) == 0) {
            base = "/dev/shm";
        } else {
            base = fs::temp_directory_path().string();
        }
        std::string pattern = base + "/tarnwick-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            std::perror("tarnwick fuzz: mkdtemp");
            std::abort();
        }
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

const ScratchFolder& Scratch() {
    static const ScratchFolder folder;
    return folder;
}

void WriteBytes(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::perror(path.c_str());
        std::abort();
    }
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n <= 0) {
            std::perror(path.c_str());
            std::abort();
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    ::close(fd);
}

// Takes the messages the core would show; the targets count them.
class CountingMesg : public TMesg {
public:
    int Shown = 0;
    std::string Last;

protected:
    int ShowBox(const std::string& text, const std::string&, unsigned style,
                WindowHandle) override {
        ++Shown;
        Last = text;
        return UnattendedAnswer(style);
    }
};

CountingMesg& Messages() {
    static CountingMesg* mesg = [] {
        auto* m = new CountingMesg;
        SetMesg(m);
        return m;
    }();
    return *mesg;
}

// A list of its own for the process (never freed: the targets use it to the end).
const TExcludeList& MakeList(std::initializer_list<std::string_view> words,
                             const WordCollator& collator = WordCollator::Instance()) {
    auto* list = new TExcludeList({}, collator);
    for (std::string_view word : words) {
        list->AddWord(word);
    }
    return *list;
}

// The words of a parse in comparison order, as (spelling, key).
std::vector<std::pair<std::string, std::string>> Collected(TFileWords& words) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const TFileWord& w : words.SortedWords()) {
        out.emplace_back(std::string(w.Word), std::string(w.Key));
    }
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

int FuzzHhpScanner(const std::uint8_t* data, std::size_t size) {
    constexpr const char* kName = "hhp_scanner";
    const THhpScanResult result = THhpScanner::ScanBytes(AsText(data, size));
    FUZZ_CHECK(kName, result.ProjectRead, "bytes are always read");
    FUZZ_CHECK(kName, !result.IndexCaption.empty() && result.IndexCaption[0] == ' ',
               "the index caption starts with a space");
    int longest = 0;
    for (std::size_t i = 0; i < result.Files.size(); ++i) {
        const std::string& file = result.Files[i];
        FUZZ_CHECK(kName, !file.empty(), "no empty topic entry");
        FUZZ_CHECK(kName, !IsBlank(file.front()) && !IsBlank(file.back()), "entries are trimmed");
        FUZZ_CHECK(kName, !HasControl(file), "an entry is one line");
        FUZZ_CHECK(kName, file.find('[') == std::string::npos, "an entry holds no section start");
        longest = std::max(longest, static_cast<int>(file.size()));
        if (i > 0) {
            FUZZ_CHECK(kName,
                       WordCollator::For(result.CodePage).Compare(result.Files[i - 1], file) <= 0,
                       "the topic list is sorted");
        }
    }
    FUZZ_CHECK(kName, longest == result.MaxNameLength, "MaxNameLength is the longest entry");
    for (const std::string& name : result.WindowNames) {
        FUZZ_CHECK(kName, !name.empty() && !HasControl(name), "window names are one line");
    }
    for (const std::string* caption : {&result.AliasCaption, &result.MapCaption}) {
        FUZZ_CHECK(kName, caption->empty() || (*caption)[0] == ' ',
                   "a found section's caption starts with a space");
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------

int FuzzHtmlParser(const std::uint8_t* data, std::size_t size) {
    constexpr const char* kName = "html_parser";
    if (size == 0) {
        return 0;
    }
    // The map bit 0x40, which the parser does not read, and the length of the input choose how
    // the page's text is read: the ASCII rule, or the letters of a Western, a Cyrillic or a
    // double-byte code page.
    static constexpr TTextRules kRules[] = {
        {1252, true}, {1252, false}, {1251, false}, {932, false}};
    struct Setup {
        const TExcludeList* DefaultList;
        const TExcludeList* SecondaryList;
        // One parser and word set serve every input, as one serves a whole parse run; their
        // caches must never change what a page yields.
        THtmlParser* WarmParser;
        TFileWords* WarmWords;
    };
    // Made once and never destroyed, like the lists above: the leak check runs after the
    // statics are gone.
    static const std::vector<Setup>& setups = *[] {
        auto* made = new std::vector<Setup>;
        for (const TTextRules& rules : kRules) {
            const WordCollator& collator = WordCollator::For(rules.CodePage);
            made->push_back(
                {&MakeList({"a", "and", "in", "of", "the", "to", "\xE9t\xE9", "R"}, collator),
                 &MakeList({"help", "topic", "x"}, collator), new THtmlParser(rules),
                 new TFileWords});
        }
        return made;
    }();

    const auto options = static_cast<ParseOptions>(data[0]);
    const size_t which = ((options & 0x40) ? 2 : 0) + (size & 1);
    const TTextRules& rules = kRules[which];
    const Setup& setup = setups[which];
    const WordCollator& collator = WordCollator::For(rules.CodePage);
    const TExcludeList& defaultList = *setup.DefaultList;
    const std::string_view page = AsText(data + 1, size - 1);
    const TExcludeList* secondary = (options & 0x80) ? setup.SecondaryList : nullptr;

    setup.WarmWords->Clear();
    setup.WarmParser->ParsePage(page, *setup.WarmWords, &defaultList, secondary, options);
    const auto words = Collected(*setup.WarmWords);

    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i].first;
        FUZZ_CHECK(kName, !word.empty(), "no empty word");
        FUZZ_CHECK(kName, setup.WarmParser->TrimToAlphanumeric(word) == word,
                   "words start and end with a letter or digit");
        FUZZ_CHECK(
            kName,
            !rules.AsciiLetters || (IsAlphanumeric(word.front()) && IsAlphanumeric(word.back())),
            "under the ASCII rule, words start and end with an ASCII letter or digit");
        FUZZ_CHECK(
            kName,
            !(options & kExcludeNumbers) || word.find_first_of("0123456789") == std::string::npos,
            "no digit with the number filter");
        FUZZ_CHECK(
            kName,
            !(options & kUseDefaultExclude) || !testing::IsExcluded(defaultList, word, collator),
            "no word of the default list");
        FUZZ_CHECK(kName, !secondary || !testing::IsExcluded(*secondary, word, collator),
                   "no word of the secondary list");
        FUZZ_CHECK(kName, words[i].second == collator.Key(word), "the key is the word's key");
        if (i > 0) {
            FUZZ_CHECK(kName, words[i - 1].second < words[i].second,
                       "no two words equal, sorted by key");
        }
    }

    THtmlParser freshParser(rules);
    TFileWords freshWords;
    freshParser.ParsePage(page, freshWords, &defaultList, secondary, options);
    FUZZ_CHECK(kName, Collected(freshWords) == words,
               "a page yields the same words whatever was parsed before");

    std::string plain;
    testing::StripMarkup(page, plain,
                         rules.AsciiLetters ? nullptr : &TCodePage::For(rules.CodePage));
    FUZZ_CHECK(kName, plain.size() <= page.size(), "stripping markup never adds text");
    return 0;
}

// ---------------------------------------------------------------------------------------------

int FuzzExcludeList(const std::uint8_t* data, std::size_t size) {
    constexpr const char* kName = "exclude_list";
    const std::string path = Scratch().File("list.txt");
    WriteBytes(path, AsText(data, size));
    TExcludeList list(path);
    const std::vector<std::string>& words = list.Words();
    FUZZ_CHECK(kName, list.Count() == words.size(), "Count is the number of words");
    for (std::size_t i = 0; i < words.size(); ++i) {
        FUZZ_CHECK(kName,
                   words[i].find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos,
                   "an entry is one line without NUL");
        FUZZ_CHECK(kName, testing::IsExcluded(list, words[i]), "every entry is excluded");
        if (i > 0) {
            FUZZ_CHECK(kName, CompareWords(words[i - 1], words[i]) < 0,
                       "entries are sorted and unique");
        }
    }
    // What is saved reads back as the same list.
    list.FileName = Scratch().File("saved.txt");
    list.Save();
    const TExcludeList back(list.FileName);
    FUZZ_CHECK(kName, back.Words() == words, "a saved list reads back unchanged");
    // A word added is found, once.
    if (!words.empty()) {
        FUZZ_CHECK(kName, !list.AddWord(words.front()), "a held word is not added twice");
    }
    const std::size_t before = list.Count();
    const bool added = list.AddWord("Fuzzword");
    FUZZ_CHECK(kName, testing::IsExcluded(list, "FUZZWORD"),
               "an added word is excluded in any case");
    FUZZ_CHECK(kName, list.Count() == before + (added ? 1 : 0), "adding grows the list by one");
    return 0;
}

// ---------------------------------------------------------------------------------------------

namespace {

// The key of an operation: an integer for key type 1, otherwise "k" and a number, or (for the
// highest key bytes) a text too long for most key sizes.
struct OpKey {
    bool Text = false;
    std::uint32_t Number = 0;
    std::string Name;

    CKdfKey Key() const { return Text ? CKdfKey(Name) : CKdfKey(Number); }
    std::string Model() const { return Text ? Name : std::to_string(Number); }
};

OpKey MakeKey(int keyType, std::uint8_t byte) {
    OpKey key;
    if (keyType == 1) {
        key.Number = byte < 240 ? byte : 0x01010101u * byte;
        return key;
    }
    key.Text = true;
    key.Name = byte < 250 ? "k" + std::to_string(byte % 40) : std::string(byte, 'L');
    return key;
}

std::string RecordBytes(std::uint8_t seed, std::size_t length) {
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i) {
        bytes[i] = static_cast<char>(seed + i * 7);
    }
    return bytes;
}

}  // namespace

int FuzzKdf(const std::uint8_t* data, std::size_t size) {
    constexpr const char* kName = "kdf";
    if (size < 2) {
        return 0;
    }
    const std::size_t opCount = data[0] % 24;
    const auto askedType = static_cast<std::int16_t>(data[1] % 16);
    std::size_t pos = 2;
    std::vector<std::array<std::uint8_t, 3>> ops;
    while (ops.size() < opCount && pos + 3 <= size) {
        ops.push_back({data[pos], data[pos + 1], data[pos + 2]});
        pos += 3;
    }
    const std::string path = Scratch().File("data.kdf");
    WriteBytes(path, AsText(data + pos, size - pos));
    constexpr std::uint32_t kReadWrite = kKdfReadAccess | kKdfWriteAccess | kKdfShareRead;

    t_KdfHeader header;
    try {
        CKdf::ReadFileHeader(path, header);
    } catch (const CKdfException& e) {
        FUZZ_CHECK(kName, !e.IsSystemError() && e.Code() == kKdfDamaged,
                   "a header that cannot be read is damaged");
    }

    CKdf kdf;
    kdf.LockWaitMs = 0;
    try {
        kdf.Open(path, askedType, kKdfOpenAlways, kReadWrite);
    } catch (const CKdfException& e) {
        FUZZ_CHECK(kName, !kdf.IsOpen(), "a failed Open leaves the container closed");
        FUZZ_CHECK(kName, !e.Message().empty(), "every failure has a text");
        return 0;
    }
    const int keyType = kdf.Header().KeyType;
    FUZZ_CHECK(kName, CKdf::KeySizeOf(keyType) > 0, "an open file has a known key type");
    FUZZ_CHECK(kName, kdf.Header().Count >= 0 && kdf.Header().Count <= kdf.Header().Capacity,
               "the count fits the capacity");

    // What the operations stored: a key's record, or nullopt when it was deleted.
    std::map<std::string, std::optional<std::string>> model;
    std::vector<OpKey> touched;
    for (const auto& op : ops) {
        const OpKey key = MakeKey(keyType, op[1]);
        const std::string modelKey = key.Model();
        try {
            switch (op[0] % 6) {
                case 0:
                case 5: {
                    const std::size_t wanted = op[2] * 20u + 1u;
                    std::string buffer(wanted, '\0');
                    buffer.resize(kdf.ReadData(key.Key(), buffer.data(), buffer.size()));
                    if (auto it = model.find(modelKey); it != model.end()) {
                        const std::string expected =
                            it->second ? it->second->substr(0, wanted) : std::string();
                        FUZZ_CHECK(kName, buffer == expected, "a record reads back as written");
                    }
                    break;
                }
                case 1:
                case 2: {
                    const std::size_t length = op[0] % 6 == 1 ? op[2] : op[2] * 37u;
                    const std::string bytes = RecordBytes(op[2], length);
                    kdf.WriteData(key.Key(), bytes.data(), bytes.size());
                    model[modelKey] = bytes;
                    touched.push_back(key);
                    break;
                }
                case 3: {
                    const bool removed = kdf.DeleteKey(key.Key());
                    if (auto it = model.find(modelKey); it != model.end()) {
                        FUZZ_CHECK(kName, removed == it->second.has_value(),
                                   "a stored key is deleted, a deleted one is absent");
                    }
                    model[modelKey] = std::nullopt;
                    touched.push_back(key);
                    break;
                }
                case 4: {
                    const std::string text = "text " + std::to_string(op[2]);
                    kdf.WriteString(key.Key(), text);
                    model[modelKey] = text + std::string(1, '\0');
                    touched.push_back(key);
                    break;
                }
            }
        } catch (const CKdfException& e) {
            // Only a key that does not fit the key size may be refused here.
            FUZZ_CHECK(kName, !e.IsSystemError() && e.Code() == kKdfKeyTypeMismatch,
                       "only a key too long is refused: " + e.Message());
        }
        FUZZ_CHECK(kName, kdf.Header().Count <= kdf.Header().Capacity,
                   "the count fits the capacity");
    }
    try {
        kdf.Close();
    } catch (const CKdfException& e) {
        Broken(kName, "Close of a sound session failed: " + e.Message());
    }

    // The file reopens, and every key touched holds what was last stored.
    try {
        kdf.Open(path, 0, kKdfOpenExisting, kReadWrite);
    } catch (const CKdfException& e) {
        Broken(kName, "a closed file does not reopen: " + e.Message());
    }
    for (const OpKey& key : touched) {
        const auto& expected = model[key.Model()];
        std::string buffer(70000, '\0');
        buffer.resize(kdf.ReadData(key.Key(), buffer.data(), buffer.size()));
        FUZZ_CHECK(kName, buffer == expected.value_or(std::string()),
                   "a record survives Close and Open");
    }
    kdf.Close();
    return 0;
}

// ---------------------------------------------------------------------------------------------

namespace {

class RecordingMenu : public TMruMenu {
public:
    struct Item {
        std::string Caption;
        const TMruItem* Tag = nullptr;
        bool Visible = false;
    };
    Item Items[kItemCount];

    void SetItem(int index, const std::string& caption, const TMruItem* tag,
                 bool visible) override {
        Items[index] = {caption, tag, visible};
    }
};

// A data home with a few existing projects, named relative to the working folder so that the
// saved inputs name them wherever the scratch folder is.
const std::string& MruHome() {
    static const std::string home = [] {
        const std::string root = Scratch().File("mru");
        fs::create_directories(root + "/home");
        fs::create_directories(root + "/program");
        fs::create_directories(root + "/projects/sub");
        for (const char* name : {"a.hhp", "b.hhp", "B.HHP", "d e.hhp", "sub/x.hhp"}) {
            WriteBytes(root + "/projects/" + name, "[OPTIONS]\r\n");
        }
        ::setenv("XDG_DATA_HOME", (root + "/home").c_str(), 1);
        SetProgramFolder(root + "/program");
        PrepareDataFolders();
        return root;
    }();
    return home;
}

// Works in the folder of the projects for one run, then goes back (libFuzzer keeps its own
// relative paths).
class InProjectsFolder {
public:
    explicit InProjectsFolder(const std::string& root) {
        if (!::getcwd(previous_, sizeof previous_) || ::chdir((root + "/projects").c_str()) != 0) {
            std::perror("tarnwick fuzz: chdir");
            std::abort();
        }
    }
    ~InProjectsFolder() {
        if (::chdir(previous_) != 0) {
            std::perror("tarnwick fuzz: chdir back");
            std::abort();
        }
    }
    InProjectsFolder(const InProjectsFolder&) = delete;
    InProjectsFolder& operator=(const InProjectsFolder&) = delete;

private:
    char previous_[4096] = {};
};

bool SameItem(const TMruItem& a, const TMruItem& b) {
    return a.ProjectFile == b.ProjectFile && a.WindowName == b.WindowName &&
           a.Options == b.Options && a.ExcludeListName == b.ExcludeListName &&
           a.InitialId == b.InitialId;
}

void CheckList(const char* name, const TMru& mru, const RecordingMenu& menu) {
    FUZZ_CHECK(name, mru.Count() <= TMru::kMaxItems, "at most ten projects");
    for (int i = 0; i < TMruMenu::kItemCount; ++i) {
        const auto& item = menu.Items[i];
        if (i < mru.Count()) {
            FUZZ_CHECK(
                name,
                item.Visible && item.Tag == &mru.Item(i) && item.Caption == mru.Item(i).ProjectFile,
                "the menu shows every entry");
            FUZZ_CHECK(name, FileExists(mru.Item(i).ProjectFile), "only existing projects");
            for (int k = 0; k < i; ++k) {
                FUZZ_CHECK(name, mru.Item(k).ProjectFile != mru.Item(i).ProjectFile,
                           "no project twice");
            }
        } else {
            FUZZ_CHECK(name, !item.Visible && !item.Tag && item.Caption.empty(),
                       "the other menu items are hidden");
        }
    }
}

}  // namespace

int FuzzMruLoad(const std::uint8_t* data, std::size_t size) {
    constexpr const char* kName = "mru_load";
    if (size == 0) {
        return 0;
    }
    const InProjectsFolder inProjects(MruHome());
    CountingMesg& mesg = Messages();
    const std::string configPath = CConfig::FilePath(DataFolder());
    for (const auto& entry : fs::directory_iterator(DataFolder())) {
        if (entry.path().filename().string().rfind("Tarnwick.cfg", 0) == 0) {
            fs::remove(entry.path());
        }
    }
    mesg.Shown = 0;

    if (data[0] % 2 == 1) {
        // The configuration file as a crash or a full disk may have left it.
        WriteBytes(configPath, AsText(data + 1, size - 1));
        TMru mru(DataFolder(), mesg);
        RecordingMenu menu;
        try {
            mru.Load(&menu);
        } catch (const CKdfException& e) {
            Broken(kName, "loading the list raised: " + e.Message());
        }
        CheckList(kName, mru, menu);
        FUZZ_CHECK(kName, mesg.Shown <= 1, "a bad configuration is reported at most once");
        const int shown = mesg.Shown;
        {
            CConfig again(DataFolder(), mesg);
            FUZZ_CHECK(kName, again.IsOpen(), "the next start has a configuration");
            again.WriteInteger(kCfgMainColumns, 3);
        }
        CConfig third(DataFolder(), mesg);
        FUZZ_CHECK(kName, mesg.Shown == shown, "a bad configuration is reported only once");
        FUZZ_CHECK(kName, third.IsOpen() && third.ReadInteger(kCfgMainColumns, 1) == 3,
                   "the replaced configuration keeps what is stored");
        return 0;
    }

    {
        CConfig config(DataFolder(), mesg);
        FUZZ_CHECK(kName, config.IsOpen(), "a new configuration opens");
        std::size_t pos = 1;
        for (int key = TMru::kFirstKey; key < TMru::kFirstKey + TMru::kMaxItems; ++key) {
            if (pos + 2 > size) {
                break;
            }
            std::size_t length = (data[pos] | static_cast<std::size_t>(data[pos + 1]) << 8) % 4600;
            pos += 2;
            length = std::min(length, size - pos);
            config.WriteData(key, data + pos, length);
            pos += length;
        }
    }
    TMru mru(DataFolder(), mesg);
    RecordingMenu menu;
    mru.Load(&menu);
    CheckList(kName, mru, menu);
    FUZZ_CHECK(kName, mesg.Shown == 0, "a sound configuration shows no message");

    // Saving and loading again gives the same list.
    std::vector<TMruItem> before;
    for (int i = 0; i < mru.Count(); ++i) {
        before.push_back(mru.Item(i));
    }
    mru.Save();
    TMru again(DataFolder(), mesg);
    RecordingMenu againMenu;
    again.Load(&againMenu);
    CheckList(kName, again, againMenu);
    FUZZ_CHECK(kName, again.Count() == static_cast<int>(before.size()),
               "a saved list loads with as many entries");
    for (int i = 0; i < again.Count(); ++i) {
        FUZZ_CHECK(kName, SameItem(again.Item(i), before[static_cast<std::size_t>(i)]),
                   "a saved entry loads unchanged");
    }
    // Taking the first out and adding it back restores the order.
    TMruItem first;
    if (again.TakeFirst(first)) {
        again.Add(first);
        FUZZ_CHECK(kName, SameItem(again.Item(0), first), "an added project comes first");
        CheckList(kName, again, againMenu);
    }
    FUZZ_CHECK(kName, mesg.Shown == 0, "a sound configuration shows no message");
    return 0;
}

// ---------------------------------------------------------------------------------------------

const std::vector<TargetInfo>& Targets() {
    static const std::vector<TargetInfo> targets = {
        {"hhp_scanner", &FuzzHhpScanner},   {"html_parser", &FuzzHtmlParser},
        {"exclude_list", &FuzzExcludeList}, {"kdf", &FuzzKdf},
        {"mru_load", &FuzzMruLoad},
    };
    return targets;
}

}  // namespace tarnwick::fuzz
