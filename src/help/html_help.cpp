// The compiled help file as Tarnwick reads it. The parts used, all little-endian:
//
//   /#SYSTEM   u32 version, then records { u16 code, u16 length, length bytes }; the codes read
//              here hold NUL-terminated texts: 0 contents file, 1 index file, 2 default topic,
//              3 title.
//   /#IVB      u32 byte count n, then n / 8 pairs { u32 context ID, u32 offset into /#STRINGS }.
//   /#STRINGS  NUL-terminated texts; a pair's offset names the topic path of its context ID.
//
// The compiler we build with stores the topic path as the absolute path it compiled from
// ("/home/me/build/help/html/a.htm"), which is why paths are resolved by their trailing parts.
// Every count and offset is checked against the object's length before it is used.
#include "help/html_help.h"

#include <chm_lib.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "platform/os.h"
#include "platform/shared_library.h"

namespace tarnwick {
namespace {

// The largest object the help reads into memory; a larger length is taken as damage.
constexpr LONGUINT64 kMaxObjectLength = 64ULL << 20;

constexpr std::uint16_t kSystemContentsFile = 0;
constexpr std::uint16_t kSystemIndexFile = 1;
constexpr std::uint16_t kSystemDefaultTopic = 2;
constexpr std::uint16_t kSystemTitle = 3;

int liveObjects = 0;
std::unique_ptr<CHtmlHelp> current;

std::uint32_t ReadU32(std::string_view bytes, size_t at) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t ReadU16(std::string_view bytes, size_t at) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

// The text up to the first NUL (or the end).
std::string CText(std::string_view bytes) {
    return std::string(bytes.substr(0, std::min(bytes.find('\0'), bytes.size())));
}

}  // namespace

// The entry points, looked up once per loaded library.
struct CHtmlHelp::Entries {
    decltype(&::chm_open) Open = nullptr;
    decltype(&::chm_close) Close = nullptr;
    decltype(&::chm_resolve_object) Resolve = nullptr;
    decltype(&::chm_retrieve_object) Retrieve = nullptr;
    decltype(&::chm_enumerate) Enumerate = nullptr;
};

HtmlError::HtmlError(int code, std::string text, const std::string& detail)
    : std::runtime_error(detail.empty() ? text : text + " (" + detail + ")"),
      code_(code),
      text_(std::move(text)) {}

std::string HtmlErrorText(int code) {
    switch (code) {
        case kHtmlNoHelpFile:
            return "The compiled help file (.chm) was not found.";
        case kHtmlNoLibrary:
            return "Failure to LoadLibrary( \"hhctrl.ocx\" ).";
        case kHtmlNoEntryPoint:
            return "Failure to get the proceedure address from the HTML Help Program "
                   "(GetProcAddress).";
        case kHtmlBadHelpFile:
            return "The compiled help file (.chm) could not be read.";
        default:
            return "Unknown help error.";
    }
}

CHtmlHelp::CHtmlHelp(std::string helpFile, const TChmLibrary& library)
    : helpFile_(std::move(helpFile)) {
    std::string why;
    library_ = LoadSharedLibrary(library.Name, why);
    if (!library_) {
        throw HtmlError(kHtmlNoLibrary, HtmlErrorText(kHtmlNoLibrary), why);
    }
    entries_ = std::make_unique<Entries>();
    std::string missing;
    auto lookUp = [&](auto& entry, const std::string& name) {
        entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(
            SharedLibrarySymbol(library_, name));
        if (!entry && missing.empty()) {
            missing = name;
        }
    };
    lookUp(entries_->Open, library.Open);
    lookUp(entries_->Close, library.Close);
    lookUp(entries_->Resolve, library.Resolve);
    lookUp(entries_->Retrieve, library.Retrieve);
    lookUp(entries_->Enumerate, library.Enumerate);
    if (!missing.empty()) {
        Unload();
        throw HtmlError(kHtmlNoEntryPoint, HtmlErrorText(kHtmlNoEntryPoint), missing);
    }
    file_ = entries_->Open(helpFile_.c_str());
    if (!file_) {
        Unload();
        throw HtmlError(kHtmlBadHelpFile, HtmlErrorText(kHtmlBadHelpFile), helpFile_);
    }
    if (auto system = ReadObject("/#SYSTEM")) {
        system_ = ReadSystemRecords(*system);
    }
    const auto ivb = ReadObject("/#IVB");
    const auto strings = ReadObject("/#STRINGS");
    if (ivb && strings) {
        contextMap_ = ReadContextMap(*ivb, *strings);
    }
    ++liveObjects;
}

CHtmlHelp::~CHtmlHelp() {
    Unload();
    --liveObjects;
}

void CHtmlHelp::Unload() noexcept {
    if (file_) {
        entries_->Close(file_);
        file_ = nullptr;
    }
    UnloadSharedLibrary(library_);
    library_ = nullptr;
}

int CHtmlHelp::LiveCount() {
    return liveObjects;
}

std::string CHtmlHelp::TopicOfContext(std::uint32_t contextId) const {
    const auto found = contextMap_.find(contextId);
    return found == contextMap_.end() ? std::string() : ResolveTopic(found->second);
}

std::string CHtmlHelp::ResolveTopic(std::string_view reference) const {
    const std::string found =
        ResolveTrailingPath(reference, [this](const std::string& path) { return HasObject(path); });
    // The library finds an object whatever the letter case asked for; the topic goes by the
    // name the file stores, so that a page reached by an alias, a link or the contents has one
    // address.
    chmUnitInfo info{};
    if (found.empty() || entries_->Resolve(file_, found.c_str(), &info) != CHM_RESOLVE_SUCCESS) {
        return found;
    }
    return info.path;
}

bool CHtmlHelp::HasObject(const std::string& objectPath) const {
    chmUnitInfo info{};
    return entries_->Resolve(file_, objectPath.c_str(), &info) == CHM_RESOLVE_SUCCESS;
}

std::optional<std::string> CHtmlHelp::ReadObject(const std::string& objectPath) const {
    chmUnitInfo info{};
    if (entries_->Resolve(file_, objectPath.c_str(), &info) != CHM_RESOLVE_SUCCESS ||
        info.length > kMaxObjectLength) {
        return std::nullopt;
    }
    std::string bytes(static_cast<size_t>(info.length), '\0');
    LONGUINT64 done = 0;
    while (done < info.length) {
        const LONGINT64 got =
            entries_->Retrieve(file_, &info, reinterpret_cast<unsigned char*>(bytes.data()) + done,
                               done, static_cast<LONGINT64>(info.length - done));
        if (got <= 0) {
            return std::nullopt;
        }
        done += static_cast<LONGUINT64>(got);
    }
    return bytes;
}

std::vector<std::string> CHtmlHelp::ObjectPaths() const {
    std::vector<std::string> paths;
    auto collect = [](chmFile*, chmUnitInfo* info, void* context) -> int {
        static_cast<std::vector<std::string>*>(context)->emplace_back(info->path);
        return CHM_ENUMERATOR_CONTINUE;
    };
    entries_->Enumerate(file_, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, collect, &paths);
    return paths;
}

CHtmlHelp* CurrentHtmlHelp() {
    return current.get();
}

bool OpenHtmlHelp(const std::string& helpFile, const TChmLibrary& library) {
    CloseHtmlHelp();
    if (!FileExists(helpFile)) {
        throw HtmlError(kHtmlNoHelpFile, HtmlErrorText(kHtmlNoHelpFile), helpFile);
    }
    current = std::make_unique<CHtmlHelp>(helpFile, library);
    return true;
}

void CloseHtmlHelp() {
    current.reset();
}

std::map<std::uint32_t, std::string> ReadContextMap(std::string_view ivb,
                                                    std::string_view strings) {
    std::map<std::uint32_t, std::string> map;
    if (ivb.size() < 4) {
        return map;
    }
    const size_t count = std::min<size_t>(ReadU32(ivb, 0), ivb.size() - 4);
    for (size_t at = 4; at + 8 <= 4 + count; at += 8) {
        const std::uint32_t id = ReadU32(ivb, at);
        const std::uint32_t offset = ReadU32(ivb, at + 4);
        if (offset >= strings.size()) {
            continue;
        }
        const std::string path = CText(strings.substr(offset));
        if (!path.empty()) {
            map.emplace(id, path);
        }
    }
    return map;
}

THelpSystem ReadSystemRecords(std::string_view system) {
    THelpSystem result;
    size_t at = 4;
    while (at + 4 <= system.size()) {
        const std::uint16_t code = ReadU16(system, at);
        const std::uint16_t length = ReadU16(system, at + 2);
        at += 4;
        if (length > system.size() - at) {
            break;
        }
        const std::string_view data = system.substr(at, length);
        switch (code) {
            case kSystemContentsFile:
                result.ContentsFile = CText(data);
                break;
            case kSystemIndexFile:
                result.IndexFile = CText(data);
                break;
            case kSystemDefaultTopic:
                result.DefaultTopic = CText(data);
                break;
            case kSystemTitle:
                result.Title = CText(data);
                break;
            default:
                break;
        }
        at += length;
    }
    return result;
}

std::string ResolveTrailingPath(std::string_view storedPath,
                                const std::function<bool(const std::string&)>& exists) {
    std::string path;
    for (char c : storedPath) {
        c = c == '\\' ? '/' : c;
        if (c != '/' || path.empty() || path.back() != '/') {
            path += c;
        }
    }
    size_t start = 0;
    while (true) {
        while (start < path.size() && path[start] == '/') {
            ++start;
        }
        if (start >= path.size()) {
            return {};
        }
        std::string candidate = "/" + path.substr(start);
        if (exists(candidate)) {
            return candidate;
        }
        const size_t next = path.find('/', start);
        if (next == std::string::npos) {
            return {};
        }
        start = next + 1;
    }
}

}  // namespace tarnwick
