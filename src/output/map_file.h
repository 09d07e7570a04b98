// The alias file and the C header of topic ID mnemonics that let an application open help topics
// by name. Every topic entry of the project gets one "IDH_" mnemonic derived from its path; the
// header comes in two kinds, numeric context IDs (with the alias file) or topic paths.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/parse_options.h"
#include "platform/file_system.h"

namespace tarnwick {

// The map writers' one failure: its text is what the build run shows the user ("Failure
// creating Alias.h" and the like), so callers show what() as it is.
class EMapFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The settings a header file is written with.
struct t_MapData {
    std::string ProjectFile;         // path of the .hhp; gives the help file name
    std::string WindowName;          // help window name; may be empty
    std::int32_t InitialId = 0;      // first context ID
    std::int32_t MaxNameLength = 0;  // length of the longest topic entry
};

// One map file, open from construction to Close. The topic list is borrowed and must outlive the
// writer; every file lists the topics in its order.
class TMapFileBase {
public:
    // `path` is the file's path in the project's own spelling: the project folder, "/", and the
    // name the project gives, whose "\" separators are kept (for the guard name and the texts)
    // and turned into "/" only to open the file. The bytes go to a temporary file that replaces
    // an existing file only at Close, keeping its permissions and, when its bytes differ, the old
    // file as "<name>.bak". Throws EMapFileError: "Failure creating " and the file name and the
    // reason when it cannot be created, "Out of memory", or "Unknown error " and the file name.
    TMapFileBase(const std::string& path, const std::vector<std::string>& topics,
                 TFileSystem& system = TFileSystem::Default());
    virtual ~TMapFileBase();
    TMapFileBase(const TMapFileBase&) = delete;
    TMapFileBase& operator=(const TMapFileBase&) = delete;

    // Writes the whole file; nothing when the file is no longer open. Throws EMapFileError
    // ("Failure writing " and the file name, then the reason) when a write fails.
    virtual void WriteMapFile(ParseOptions flags) = 0;
    // One line of the file for one topic entry, without line end; empty when the entry has no
    // mnemonic, and then the entry is left out.
    virtual std::string MakeLine(const std::string& topic) = 0;

    // "IDH_" and the entry's upper-cased name up to its first ".", with spaces and "\" made "_";
    // empty when nothing is left before the first "." (an entry like ".\x.htm").
    std::string MakeMnemonic(std::string_view topic) const;

    // Puts the file in place; throws EMapFileError when the bytes did not all reach the disk, and
    // then the previous file is untouched. A writer destroyed without Close writes nothing.
    void Close();
    // After Close: where the previous version was kept; empty when none was.
    const std::string& BackupPath() const { return backupPath_; }

    // Lines align in the width of the longest topic entry and 3, but never in more than this:
    // a help project's topic paths are shorter than 260 bytes (the path limit of the systems
    // help files are compiled on), and aligning every line to one absurdly long entry would pad
    // the whole file to its length. A longer entry just gets no padding on its own line.
    static constexpr std::int32_t kMaxNameWidth = 260 + 3;

    const std::string& Path() const { return path_; }
    const std::string& Prefix() const { return prefix_; }
    std::int32_t NameWidth() const { return nameWidth_; }
    const std::vector<std::string>& Topics() const { return topics_; }

protected:
    // The text (nothing when empty), then `lineEnds` times CR LF.
    void WriteText(std::string_view text, int lineEnds);
    // `item` right-aligned in what is left of the name width after the mnemonic; never cut, and
    // with no padding at all when that room is zero or negative.
    std::string AlignAfter(std::string_view mnemonic, std::string_view item) const;
    // The width lines align in: the longest topic entry's length and 3, at most kMaxNameWidth.
    void SetNameWidthFor(std::int64_t longestTopic);
    bool IsOpen() const { return stream_ != nullptr; }

private:
    [[noreturn]] void ThrowWriteFailure(const std::exception& error) const;

    std::string path_;
    std::unique_ptr<TFileWriter> stream_;
    std::string backupPath_;
    const std::vector<std::string>& topics_;
    std::string prefix_ = "IDH_";
    std::int32_t nameWidth_ = 0;
};

// The alias file: one "IDH_NAME = topic" line per topic, the "=" aligned.
class TAliasFile : public TMapFileBase {
public:
    using TMapFileBase::TMapFileBase;

    // Aligns for topic entries of up to `longestTopic` characters.
    void SetNameWidth(std::int32_t longestTopic);
    // Writes the alias file; the flags are not used.
    void WriteMapFile(ParseOptions flags) override;
    std::string MakeLine(const std::string& topic) override;
};

// The header file: "#define IDH_NAME id" (flag 0x40) or "#define IDH_NAME "Help.chm::/topic""
// (flag 0x80) for every topic, inside an include guard named after the file.
class THeaderFile : public TMapFileBase {
public:
    using TMapFileBase::TMapFileBase;

    void SetMapData(const t_MapData& data);
    // kMapAliasFiles (0x40): the context-ID header; otherwise kMapTopicHeader (0x80): the
    // topic-path header; neither: nothing.
    void WriteMapFile(ParseOptions flags) override;
    // The context-ID line; each line made takes the next ID.
    std::string MakeLine(const std::string& topic) override;
    // The topic-path line.
    std::string MakeTopicLine(const std::string& topic) const;
    // The file-name part of the header's path, upper-cased, spaces and "." made "_".
    std::string MakeGuardName() const;

    std::int32_t InitialId() const { return initialId_; }
    const std::string& HelpFileName() const { return helpFileName_; }
    const std::string& WindowName() const { return windowName_; }

private:
    void WriteGuardStart();
    void WriteGuardEnd();

    std::int32_t initialId_ = 0;
    std::int64_t nextId_ = 0;  // wide, so that an ID after the largest initial one cannot overflow
    std::string helpFileName_;
    std::string windowName_;
};

}  // namespace tarnwick
