#include "output/compile_staging.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <system_error>
#include <utility>

#include "output/output_names.h"
#include "platform/file_system.h"
#include "platform/os.h"
#include "platform/system_text.h"
#include "support/utils.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

// At most this many names are listed in a line that reports entries left out.
constexpr size_t kNamesShown = 5;

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsAsciiNoCase(text.substr(0, prefix.size()), prefix);
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// "3 (A, B, C)", the list cut after kNamesShown names.
std::string CountedNames(const std::vector<std::string>& names) {
    std::string text = std::to_string(names.size()) + " (";
    for (size_t i = 0; i < names.size() && i < kNamesShown; ++i) {
        text += (i ? ", " : "") + names[i];
    }
    return text + (names.size() > kNamesShown ? ", ...)" : ")");
}

// The project file's lines, each with its own line end, so that a rewritten file keeps them.
struct TTextLine {
    std::string Body;
    std::string End;
};

std::vector<TTextLine> SplitLines(std::string_view bytes) {
    std::vector<TTextLine> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t newline = bytes.find('\n', start);
        const size_t next = newline == std::string_view::npos ? bytes.size() : newline + 1;
        size_t end = newline == std::string_view::npos ? bytes.size() : newline;
        if (end > start && bytes[end - 1] == '\r') {
            --end;
        }
        lines.push_back({std::string(bytes.substr(start, end - start)),
                         std::string(bytes.substr(end, next - end))});
        start = next;
    }
    return lines;
}

std::string JoinLines(const std::vector<TTextLine>& lines) {
    std::string bytes;
    for (const TTextLine& line : lines) {
        bytes += line.Body + line.End;
    }
    return bytes;
}

// The section a line opens ("[FILES]" gives "FILES"), or nothing.
std::optional<std::string> SectionName(std::string_view line) {
    const std::string_view trimmed = TrimBlanks(line);
    if (trimmed.size() < 2 || trimmed.front() != '[' || trimmed.back() != ']') {
        return std::nullopt;
    }
    std::string name(trimmed.substr(1, trimmed.size() - 2));
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return name;
}

// Whether a project line is a setting or an entry of its section: not a section header, not
// blank, not a comment. The staging and CompiledFileOption skip the same lines.
bool IsSettingLine(std::string_view body) {
    const std::string_view trimmed = TrimBlanks(body);
    return !trimmed.empty() && trimmed.front() != ';' && !SectionName(body);
}

// An option line's key and value, blanks trimmed; nothing for a line without "=".
std::optional<std::pair<std::string, std::string>> OptionKeyValue(std::string_view body) {
    const size_t equals = body.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    return std::pair{std::string(TrimBlanks(body.substr(0, equals))),
                     std::string(TrimBlanks(body.substr(equals + 1)))};
}

bool IsCompiledFileKey(std::string_view key) {
    return EqualsAsciiNoCase(key, "Compiled file");
}

// The name an "#include" line gives, or nothing for any other line.
std::optional<std::string> IncludeName(std::string_view line) {
    const std::string_view trimmed = TrimBlanks(line);
    if (!StartsWithNoCase(trimmed, "#include")) {
        return std::nullopt;
    }
    std::string_view name = TrimBlanks(trimmed.substr(8));
    if (name.size() >= 2 && (name.front() == '"' || name.front() == '<')) {
        name = name.substr(1, name.size() - 2);
    }
    return std::string(name);
}

// A context ID of a map: "#define NAME value".
struct TDefine {
    std::string Name;
    std::string Value;  // the first word after the name
};

// The blank-separated word at the start of `text`.
std::string_view FirstWord(std::string_view text) {
    size_t end = 0;
    while (end < text.size() && static_cast<unsigned char>(text[end]) > 0x20) {
        ++end;
    }
    return text.substr(0, end);
}

// The context ID a map line defines, or nothing.
std::optional<TDefine> Define(std::string_view line) {
    const std::string_view trimmed = TrimBlanks(line);
    if (!StartsWith(trimmed, "#define") || trimmed.size() == 7 ||
        static_cast<unsigned char>(trimmed[7]) > 0x20) {
        return std::nullopt;
    }
    const std::string_view rest = TrimBlanks(trimmed.substr(7));
    const std::string_view name = FirstWord(rest);
    const std::string_view value = FirstWord(TrimBlanks(rest.substr(name.size())));
    // A name without a value is a header guard, not a context ID.
    if (name.empty() || value.empty()) {
        return std::nullopt;
    }
    return TDefine{std::string(name), std::string(value)};
}

// The project's folder: what its files are resolved in and mirrored from.
class TProjectFolder {
public:
    explicit TProjectFolder(const std::string& projectFile) {
        const size_t slash = projectFile.rfind('/');
        prefix_ = slash == std::string::npos ? "./" : projectFile.substr(0, slash + 1);
    }

    const std::string& Prefix() const { return prefix_; }

    // The project's entry as the file is spelled on disk, relative to the folder, with "/"
    // between folders: the same case-blind lookup the parse makes for topic files. Empty when
    // no file answers to it inside the folder.
    std::string Resolve(std::string_view entry) const {
        const std::string relative = ToOpenPath(TrimBlanks(entry));
        if (relative.empty() || relative.front() == '/') {
            return {};
        }
        for (size_t start = 0; start <= relative.size();) {
            size_t end = relative.find('/', start);
            if (end == std::string::npos) {
                end = relative.size();
            }
            if (relative.compare(start, end - start, "..") == 0 && end - start == 2) {
                return {};  // outside the folder: not in the staging copy
            }
            start = end + 1;
        }
        const std::string found = ResolvePathIgnoringCase(prefix_ + relative);
        if (found.empty() || !FileExists(found) || IsFolder(found) ||
            found.compare(0, prefix_.size(), prefix_) != 0) {
            return {};
        }
        return found.substr(prefix_.size());
    }

private:
    std::string prefix_;
};

// An alias entry, "NAME = topic ; comment": the context name and the rest after "=".
struct TAliasEntry {
    std::string Name;
    std::string Value;
};

std::optional<TAliasEntry> AliasEntry(std::string_view line) {
    const std::string_view trimmed = TrimBlanks(line);
    const size_t equals = trimmed.find('=');
    if (trimmed.empty() || trimmed.front() == ';' || StartsWith(trimmed, "//") ||
        trimmed.front() == '#' || equals == std::string_view::npos) {
        return std::nullopt;
    }
    return TAliasEntry{std::string(TrimBlanks(trimmed.substr(0, equals))),
                       std::string(TrimBlanks(trimmed.substr(equals + 1)))};
}

// The parts of an alias's value: "file.chm::/" before the topic, the topic, "; comment" after.
struct TAliasTopic {
    std::string Head;
    std::string Topic;
    std::string Comment;
};

TAliasTopic AliasTopic(std::string_view value) {
    TAliasTopic parts;
    if (const size_t semicolon = value.find(';'); semicolon != std::string_view::npos) {
        parts.Comment = " " + std::string(value.substr(semicolon));
        value = TrimBlanks(value.substr(0, semicolon));
    }
    if (const size_t chm = value.find("::/"); chm != std::string_view::npos) {
        parts.Head = std::string(value.substr(0, chm + 3));
        value = value.substr(chm + 3);
    }
    parts.Topic = std::string(value);
    return parts;
}

// Why an alias or a context ID is left out of the staging copy.
enum class Drop { NoAlias, NotDefined, NoTopic, SharedTopic };

// Writes a staged file. A link or copy standing there is removed first, so that nothing is ever
// written through a link into the author's file. Not synced: the staging folder lives only as
// long as the run.
void WriteStaged(const std::string& path, const std::string& bytes) {
    std::error_code ignored;
    fs::remove(path, ignored);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        throw EFCreateError(path, SystemErrorText(errno));
    }
}

void MirrorFolder(const fs::path& from, const fs::path& to, const std::string& relative,
                  StagingMode mode, const std::set<std::string>& skipped) {
    std::error_code error;
    for (fs::directory_iterator it(from, fs::directory_options::skip_permission_denied, error), end;
         !error && it != end; it.increment(error)) {
        const fs::path& source = it->path();
        const std::string name = source.filename().string();
        const std::string entry = relative + name;
        // A staging folder is never mirrored, should $TMPDIR be the project's folder.
        if (name.empty() || name.front() == '.' || skipped.count(entry) != 0 ||
            name.rfind(kStagingPrefix, 0) == 0) {
            continue;
        }
        std::error_code status;
        if (it->is_directory(status) && !it->is_symlink(status)) {
            // Folders are made anew, so that staged files can be written into them.
            fs::create_directory(to / name, status);
            MirrorFolder(source, to / name, entry + "/", mode, skipped);
        } else if (it->is_regular_file(status)) {
            if (mode == StagingMode::Copy) {
                fs::copy_file(source, to / name, status);
            } else {
                fs::create_symlink(fs::absolute(source, status), to / name, status);
            }
        }
    }
}

// The staging of one project: reads what the project names, rewrites it and lays it out.
class TStager {
public:
    TStager(const std::string& projectFile, const std::string& stagingFolder)
        : projectFile_(projectFile), folder_(projectFile), staging_(stagingFolder + "/") {}

    TStagedProject Run(StagingMode mode) {
        const std::string bytes =
            ReadRegularFile(projectFile_, kMaxProjectFileSize, "a project file");
        staged_.ProjectName = std::string(FileNamePart(projectFile_));
        lines_ = SplitLines(bytes);
        ReadPartners();
        RewriteProject();
        std::set<std::string> skipped = {staged_.ProjectName, staged_.CompiledName};
        MirrorFolder(folder_.Prefix(), staging_, {}, mode, skipped);
        WriteStaged(staging_ + staged_.ProjectName, JoinLines(lines_));
        for (const auto& [name, text] : writtenFiles_) {
            WriteStaged(staging_ + name, text);
        }
        return std::move(staged_);
    }

private:
    void Note(std::string text) {
        staged_.Adjustments.push_back(CompileLine(CompileLineKind::Note, std::move(text)));
    }
    void Warn(std::string text) {
        staged_.Adjustments.push_back(CompileLine(CompileLineKind::Warning, std::move(text)));
    }

    // The section of each line, "" before the first.
    std::vector<std::string> Sections() const {
        std::vector<std::string> sections;
        std::string current;
        for (const TTextLine& line : lines_) {
            if (auto name = SectionName(line.Body)) {
                current = *name;
            }
            sections.push_back(current);
        }
        return sections;
    }

    // The contexts the map defines, then the aliases chmcmd can take: those whose context the
    // map defines and whose topic is a file of the project, one per topic (chmcmd keeps only the
    // last alias of a topic and then misses the others' contexts). Read before anything is
    // rewritten, so that each side keeps only what the other has.
    void ReadPartners() {
        const std::vector<std::string> sections = Sections();
        for (const char* wanted : {"MAP", "ALIAS"}) {
            for (size_t i = 0; i < lines_.size(); ++i) {
                if (sections[i] != wanted) {
                    continue;
                }
                const std::string& body = lines_[i].Body;
                const bool isMap = sections[i] == "MAP";
                if (auto include = IncludeName(body)) {
                    const std::string found = folder_.Resolve(*include);
                    if (found.empty()) {
                        continue;
                    }
                    for (const TTextLine& line : SplitLines(ReadIncluded(found))) {
                        isMap ? AddDefine(line.Body) : AddAlias(line.Body);
                    }
                } else {
                    isMap ? AddDefine(body) : AddAlias(body);
                }
            }
        }
    }

    std::string ReadIncluded(const std::string& name) {
        return ReadRegularFile(folder_.Prefix() + name, kMaxProjectFileSize, "an include file");
    }

    void AddDefine(std::string_view line) {
        if (auto define = Define(line)) {
            defined_.insert(define->Name);
            // chmcmd stores no context ID 0.
            char* end = nullptr;
            if (std::strtoll(define->Value.c_str(), &end, 0) == 0 && end != define->Value.c_str()) {
                zeroIds_.insert(define->Name);
            }
        }
    }

    void AddAlias(std::string_view line) {
        const auto entry = AliasEntry(line);
        if (!entry || aliased_.count(entry->Name) || dropped_.count(entry->Name)) {
            return;
        }
        if (!defined_.count(entry->Name)) {
            dropped_[entry->Name] = Drop::NotDefined;
            return;
        }
        const std::string topic = folder_.Resolve(AliasTopic(entry->Value).Topic);
        if (topic.empty()) {
            dropped_[entry->Name] = Drop::NoTopic;
        } else if (!topicsTaken_.insert(topic).second) {
            dropped_[entry->Name] = Drop::SharedTopic;
        } else {
            aliased_.insert(entry->Name);
            if (zeroIds_.count(entry->Name)) {
                Warn(entry->Name +
                     " has the context ID 0, which chmcmd does not store: the help "
                     "cannot be opened at its topic by that ID.");
            }
        }
    }

    // A file name of the project as chmcmd must see it; notes the change. Empty when it names
    // no file.
    std::string Respell(std::string_view where, std::string_view entry) {
        const std::string trimmed(TrimBlanks(entry));
        const std::string found = folder_.Resolve(trimmed);
        if (!found.empty() && found != trimmed && found == ToOpenPath(trimmed)) {
            ++slashed_;
        } else if (!found.empty() && found != trimmed) {
            Note(std::string(where) + " " + Quoted(trimmed) + " compiled as " + Quoted(found) +
                 ", the file's spelling on disk.");
        }
        return found;
    }

    void RewriteProject() {
        const std::vector<std::string> sections = Sections();
        std::vector<TTextLine> kept;
        bool sawCompiledFile = false;
        for (size_t i = 0; i < lines_.size(); ++i) {
            TTextLine line = lines_[i];
            const std::string& section = sections[i];
            if (!IsSettingLine(line.Body)) {
                kept.push_back(std::move(line));
                continue;
            }
            const std::string_view trimmed = TrimBlanks(line.Body);
            if (section == "OPTIONS") {
                sawCompiledFile |= RewriteOption(line.Body);
                if (line.Body.empty()) {
                    continue;
                }
            } else if (section == "FILES") {
                const std::string found = Respell("[FILES] entry", trimmed);
                if (found.empty()) {
                    Warn("[FILES] entry " + Quoted(trimmed) +
                         " names no file in the project's folder: left out.");
                    continue;
                }
                line.Body = found;
            } else if (section == "WINDOWS") {
                line.Body = RewriteWindow(line.Body);
            } else if (section == "ALIAS") {
                if (auto include = IncludeName(line.Body)) {
                    const std::string found = folder_.Resolve(*include);
                    if (!found.empty()) {
                        line.Body = "#include " + found;
                        writtenFiles_[found] = StagedAliases(found, ReadIncluded(found));
                    }
                } else if (!RewriteAlias(line.Body, "[ALIAS]")) {
                    continue;
                }
            } else if (section == "MAP") {
                if (auto include = IncludeName(line.Body)) {
                    const std::string found = folder_.Resolve(*include);
                    if (!found.empty()) {
                        line.Body = "#include " + found;
                        writtenFiles_[found] = StagedDefines(found, ReadIncluded(found));
                    }
                } else if (!RewriteDefine(line.Body, "[MAP]")) {
                    continue;
                }
            }
            kept.push_back(std::move(line));
        }
        if (!sawCompiledFile) {
            // chmcmd needs to be told what to write; the name the project's own would have.
            staged_.CompiledName = CompiledFileName("", staged_.ProjectName);
            const auto options = std::find_if(kept.begin(), kept.end(), [](const TTextLine& l) {
                return SectionName(l.Body) == std::optional<std::string>("OPTIONS");
            });
            const std::string end = kept.empty() ? "\r\n" : kept.front().End;
            const TTextLine key{"Compiled file=" + staged_.CompiledName,
                                end.empty() ? "\r\n" : end};
            if (options == kept.end()) {
                kept.insert(kept.begin(), {TTextLine{"[OPTIONS]", key.End}, key});
            } else {
                kept.insert(options + 1, key);
            }
        }
        lines_ = std::move(kept);
        ReportUnpaired();
    }

    // Rewrites one [OPTIONS] line; returns whether it was the compiled file's.
    bool RewriteOption(std::string& body) {
        const auto option = OptionKeyValue(body);
        if (!option) {
            return false;
        }
        const auto& [key, value] = *option;
        if (IsCompiledFileKey(key)) {
            // The staging folder holds nothing outside itself: chmcmd writes a bare name there,
            // which goes beside the project afterwards.
            staged_.CompiledName = CompiledFileName(value, staged_.ProjectName);
            if (staged_.CompiledName != value) {
                Note("\"Compiled file=" + value + "\": compiled as " + staged_.CompiledName +
                     " beside the project.");
            }
            body = key + "=" + staged_.CompiledName;
            return true;
        }
        const bool sitemap =
            EqualsAsciiNoCase(key, "Contents file") || EqualsAsciiNoCase(key, "Index file");
        if (sitemap || EqualsAsciiNoCase(key, "Default topic")) {
            const std::string found = Respell(key, value);
            if (!found.empty()) {
                body = key + "=" + found;
                if (sitemap) {
                    StageSitemap(found);
                }
            } else if (sitemap && !value.empty()) {
                // chmcmd calls a missing contents or index file an error, yet compiles the help
                // without it; an index not built yet is no reason to stop.
                Warn("\"" + key + "=" + value +
                     "\" names no file: the help is compiled without it.");
                body.clear();
                return false;
            }
        }
        return false;
    }

    // A contents or index file whose entries' names hold a quote or an angle bracket: chmcmd's
    // reader ends the value there and may lose every entry after it, so the staging copy writes
    // them as "&quot;", "&lt;" and "&gt;". The entries are read line by line, each "<param" on a
    // line of its own as the index is written; a value runs to the line's last '">'.
    void StageSitemap(const std::string& name) {
        if (writtenFiles_.count(name)) {
            return;
        }
        static constexpr std::string_view kValue = "value=\"";
        int escaped = 0;
        std::vector<TTextLine> lines = SplitLines(ReadIncluded(name));
        for (TTextLine& line : lines) {
            const size_t start = line.Body.find(kValue);
            const size_t end = line.Body.rfind("\">");
            if (line.Body.find("<param") == std::string::npos || start == std::string::npos ||
                end == std::string::npos || end < start + kValue.size()) {
                continue;
            }
            const size_t first = start + kValue.size();
            const std::string value = line.Body.substr(first, end - first);
            if (value.find_first_of("\"<>") == std::string::npos) {
                continue;
            }
            std::string written;
            for (const char c : value) {
                written += c == '"'   ? "&quot;"
                           : c == '<' ? "&lt;"
                           : c == '>' ? "&gt;"
                                      : std::string(1, c);
            }
            line.Body.replace(first, end - first, written);
            ++escaped;
        }
        if (escaped > 0) {
            writtenFiles_[name] = JoinLines(lines);
            Note(name + ": " + std::to_string(escaped) +
                 " names with quotes or angle brackets written with \"&quot;\", \"&lt;\" and "
                 "\"&gt;\" for them.");
        }
    }

    // A window's files (contents, index, default and home page: the second to fifth values after
    // "=") spelled as on disk.
    std::string RewriteWindow(const std::string& body) {
        const size_t equals = body.find('=');
        if (equals == std::string::npos) {
            return body;
        }
        std::string result = body.substr(0, equals + 1);
        int field = 0;
        bool quoted = false;
        std::string value;
        auto flush = [&]() {
            if (field >= 1 && field <= 4 && value.size() >= 2 && value.front() == '"' &&
                value.back() == '"') {
                const std::string found =
                    Respell("[WINDOWS] page", std::string_view(value).substr(1, value.size() - 2));
                if (!found.empty()) {
                    value = Quoted(found);
                }
            }
            result += value;
            value.clear();
        };
        for (size_t i = equals + 1; i < body.size(); ++i) {
            const char c = body[i];
            if (c == '"') {
                quoted = !quoted;
            }
            if (c == ',' && !quoted) {
                flush();
                result += ',';
                ++field;
            } else {
                value += c;
            }
        }
        flush();
        return result;
    }

    // One alias line rewritten in place: "NAME=topic" without the alignment blanks, the topic
    // spelled as on disk. False when the entry is to be left out.
    bool RewriteAlias(std::string& body, const std::string& where) {
        const auto entry = AliasEntry(body);
        if (!entry) {
            return true;
        }
        if (!aliased_.count(entry->Name)) {
            const auto drop = dropped_.find(entry->Name);
            left_[{where, drop == dropped_.end() ? Drop::NotDefined : drop->second}].push_back(
                entry->Name);
            return false;
        }
        const size_t equals = body.find('=');
        if (TrimBlanks(std::string_view(body).substr(0, equals)).size() != equals ||
            (equals + 1 < body.size() && static_cast<unsigned char>(body[equals + 1]) <= 0x20)) {
            ++unaligned_[where];
        }
        const TAliasTopic topic = AliasTopic(entry->Value);
        const std::string found = folder_.Resolve(topic.Topic);
        if (found != topic.Topic && found == ToOpenPath(topic.Topic)) {
            ++slashed_;
        } else if (found != topic.Topic) {
            respelled_[where].push_back(topic.Topic + " as " + found);
        }
        body = entry->Name + "=" + topic.Head + found + topic.Comment;
        return true;
    }

    std::string StagedAliases(const std::string& name, const std::string& bytes) {
        std::vector<TTextLine> lines;
        for (TTextLine& line : SplitLines(bytes)) {
            if (RewriteAlias(line.Body, name)) {
                lines.push_back(std::move(line));
            }
        }
        return JoinLines(lines);
    }

    std::string StagedDefines(const std::string& name, const std::string& bytes) {
        std::vector<TTextLine> lines;
        for (TTextLine& line : SplitLines(bytes)) {
            if (RewriteDefine(line.Body, name)) {
                lines.push_back(std::move(line));
            }
        }
        return JoinLines(lines);
    }

    // One map line: a context ID without an alias is left out (false); one that stays is written
    // "#define NAME value", as chmcmd reads it - it takes the name up to the first space, so a
    // tab between name and value followed by a comment would become part of the name.
    bool RewriteDefine(std::string& body, const std::string& where) {
        const auto define = Define(body);
        if (!define) {
            return true;
        }
        if (!aliased_.count(define->Name)) {
            left_[{where, Drop::NoAlias}].push_back(define->Name);
            return false;
        }
        const std::string plain = "#define " + define->Name + " " + define->Value;
        if (plain != body) {
            ++respaced_[where];
            body = plain;
        }
        return true;
    }

    // chmcmd stops at a context ID that no alias gives a topic; what was left out on either side
    // is said once per file and reason.
    void ReportUnpaired() {
        if (slashed_ > 0) {
            Note(std::to_string(slashed_) + (slashed_ == 1 ? " file name" : " file names") +
                 " written with \"/\" for \"\\\".");
        }
        for (const auto& [where, count] : unaligned_) {
            Note(where + ": the blanks before \"=\" left out of " + std::to_string(count) +
                 " aliases.");
        }
        for (const auto& [where, count] : respaced_) {
            Note(where + ": " + std::to_string(count) +
                 " context IDs written \"#define NAME value\", without what followed.");
        }
        for (const auto& [where, names] : respelled_) {
            Note(where + ": " + CountedNames(names) +
                 " alias topics spelled as the files on disk.");
        }
        static const std::map<Drop, std::string> kReasons = {
            {Drop::NoAlias, " context IDs that no alias gives a topic left out."},
            {Drop::NotDefined, " aliases whose context ID the map does not define left out."},
            {Drop::NoTopic, " aliases whose topic names no file left out."},
            {Drop::SharedTopic,
             " aliases left out whose topic an earlier alias has (chmcmd gives a topic one "
             "context ID)."},
        };
        for (const auto& [key, names] : left_) {
            Warn(key.first + ": " + CountedNames(names) + kReasons.at(key.second));
        }
    }

    const std::string& projectFile_;
    TProjectFolder folder_;
    std::string staging_;
    TStagedProject staged_;
    std::vector<TTextLine> lines_;
    std::set<std::string> defined_;
    std::set<std::string> zeroIds_;
    std::set<std::string> aliased_;
    std::set<std::string> topicsTaken_;
    std::map<std::string, Drop> dropped_;
    std::map<std::string, std::string> writtenFiles_;
    std::map<std::string, int> unaligned_;
    std::map<std::string, int> respaced_;
    int slashed_ = 0;  // names that differed from the file's only in "\" for "/"
    std::map<std::string, std::vector<std::string>> respelled_;
    std::map<std::pair<std::string, Drop>, std::vector<std::string>> left_;
};

}  // namespace

TCompileLine CompileLine(CompileLineKind kind, std::string text) {
    static constexpr std::string_view kPrefixes[] = {"Note: ", "Warning: ", "Error: "};
    return {kind, std::string(kPrefixes[static_cast<int>(kind)]) + std::move(text)};
}

std::string CompiledFileOption(std::string_view project) {
    std::string value;
    std::string section;
    for (const TTextLine& line : SplitLines(project)) {
        if (auto name = SectionName(line.Body)) {
            section = *name;
            continue;
        }
        if (section != "OPTIONS" || !IsSettingLine(line.Body)) {
            continue;
        }
        if (const auto option = OptionKeyValue(line.Body);
            option && IsCompiledFileKey(option->first)) {
            value = option->second;
        }
    }
    return value;
}

std::string CompiledFileName(std::string_view option, std::string_view projectName) {
    const std::string name(FileNamePart(ToOpenPath(option)));
    return name.empty() ? ChangeFileExtension(FileNamePart(projectName), ".chm") : name;
}

TStagedProject StageProject(const std::string& projectFile, const std::string& stagingFolder,
                            StagingMode mode) {
    return TStager(projectFile, stagingFolder).Run(mode);
}

}  // namespace tarnwick
