// CHtmlHelp: Tarnwick's compiled help file "Tarnwick.chm", read through the CHM library that is
// loaded at run time. It maps a context ID to its topic and hands out the file's pages, images,
// style sheets, contents and index; the help window (ui/help_viewer.h) shows them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct chmFile;

namespace tarnwick {

// The help loader's failure: a code and the text the user is shown after "Failure loading the
// help file". what() adds the system's detail (the loader's reason) for developers.
class HtmlError : public std::runtime_error {
public:
    HtmlError(int code, std::string text, const std::string& detail = {});
    int Code() const { return code_; }
    const std::string& Text() const { return text_; }

private:
    int code_;
    std::string text_;
};

enum HtmlErrorCode : int {
    kHtmlNoHelpFile = 1,    // the compiled help file does not exist
    kHtmlNoLibrary = 2,     // the CHM library cannot be loaded
    kHtmlNoEntryPoint = 3,  // the library lacks one of the entry points the help needs
    kHtmlBadHelpFile = 4,   // the file exists but the library cannot read it as a compiled file
};

// The fixed text of a code ("The compiled help file (.chm) was not found." for 1).
std::string HtmlErrorText(int code);

// Where the CHM library and its entry points are looked up. The defaults name Debian's libchm1;
// tests name a library or an entry point that does not exist.
struct TChmLibrary {
    std::string Name = "libchm.so.1";
    std::string Open = "chm_open";
    std::string Close = "chm_close";
    std::string Resolve = "chm_resolve_object";
    std::string Retrieve = "chm_retrieve_object";
    std::string Enumerate = "chm_enumerate";
};

// What the compiled file's system record (/#SYSTEM) names. Paths are as the compiler stored them.
struct THelpSystem {
    std::string ContentsFile;  // the .hhc
    std::string IndexFile;     // the .hhk
    std::string DefaultTopic;
    std::string Title;
};

class CHtmlHelp {
public:
    // Loads the library, looks up every entry point and opens the help file. Raises HtmlError 2
    // (library not loaded), 3 (an entry point missing) or 4 (the file is not a compiled help
    // file); nothing stays loaded after a failure. The caller checks that the file exists.
    explicit CHtmlHelp(std::string helpFile, const TChmLibrary& library = {});
    // Closes the help file and unloads the library.
    virtual ~CHtmlHelp();
    CHtmlHelp(const CHtmlHelp&) = delete;
    CHtmlHelp& operator=(const CHtmlHelp&) = delete;

    const std::string& HelpFile() const { return helpFile_; }
    const THelpSystem& System() const { return system_; }

    // The object path ("/html/main_window.htm") of the topic that the file maps the context ID
    // to; empty when the file maps no topic to it or the topic is not in the file.
    std::string TopicOfContext(std::uint32_t contextId) const;
    // Every context ID the file maps, with the topic path as the compiler stored it.
    const std::map<std::uint32_t, std::string>& ContextMap() const { return contextMap_; }

    // The object a topic reference names: a [FILES] path ("html\a.htm"), an object path, or a
    // build path the compiler stored, in any letter case; the object's path as the file stores
    // it. Empty when no object matches (see ResolveTrailingPath).
    std::string ResolveTopic(std::string_view reference) const;
    bool HasObject(const std::string& objectPath) const;
    // The bytes of an object, or nothing when the file has no such object or it cannot be read.
    std::optional<std::string> ReadObject(const std::string& objectPath) const;
    // The paths of every file object, in the file's order.
    std::vector<std::string> ObjectPaths() const;

    // How many help objects are alive, each holding one reference to the library.
    static int LiveCount();

private:
    struct Entries;
    void Unload() noexcept;

    std::string helpFile_;
    void* library_ = nullptr;
    std::unique_ptr<Entries> entries_;
    chmFile* file_ = nullptr;
    THelpSystem system_;
    std::map<std::uint32_t, std::string> contextMap_;
};

// The program-wide help object: none at start.
CHtmlHelp* CurrentHtmlHelp();
// Replaces the program-wide object with one for the help file: the old object is closed first,
// then a missing file raises HtmlError 1 and a failing load the constructor's HtmlError, leaving
// no object. Returns true when help is available.
bool OpenHtmlHelp(const std::string& helpFile, const TChmLibrary& library = {});
// Destroys the program-wide object, if any.
void CloseHtmlHelp();

// --- The parts of the file format, apart for tests -------------------------------------------

// Pairs context IDs with topic paths: `ivb` holds a 32-bit byte count followed by pairs of
// 32-bit context ID and offset into `strings`, all little-endian; `strings` holds NUL-terminated
// paths. Pairs cut off by the count or the end, and offsets outside `strings`, are skipped; the
// first pair of an ID wins.
std::map<std::uint32_t, std::string> ReadContextMap(std::string_view ivb, std::string_view strings);

// Reads the records of /#SYSTEM: a 32-bit version, then records of 16-bit code, 16-bit length
// and data. Stops at a record that runs past the end.
THelpSystem ReadSystemRecords(std::string_view system);

// The object a stored path names. Backslashes become slashes and runs of slashes one; the path is
// tried as it stands (with a leading "/"), then each shorter trailing part, dropping one leading
// folder at a time, until `exists` accepts one. Compilers store build paths
// ("/home/me/help/html/a.htm") where the file holds "/html/a.htm". Empty when nothing matches.
std::string ResolveTrailingPath(std::string_view storedPath,
                                const std::function<bool(const std::string&)>& exists);

}  // namespace tarnwick
