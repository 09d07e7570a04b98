// TProjectSession: the project the desktop program has open and what the user chose for it - the
// scanner's result, the parse options, the map choice with its help window and first context ID,
// and the word list the last parse filled. The main window shows it; the dialogs read and change
// it. It holds no widgets, so the runs' inputs it gives are the same whatever window shows them.
#pragma once

#include <cstdint>
#include <string>

#include "output/build_run.h"
#include "pipeline/hhp_scanner.h"
#include "pipeline/parse_options.h"
#include "pipeline/parse_run.h"
#include "pipeline/word_list.h"

namespace tarnwick {

class TProjectSession {
public:
    // Scans the project file at `path` (a Linux path) and makes it the open project, even when it
    // cannot be read: then Project() lists no files and its ReadError says why.
    void Open(const std::string& path);
    // Forgets the open project and the choices made for it; the word list stays until the next
    // parse refills it.
    void Close();

    // The project the last scan read; empty when none is open. Everything that acts on the project
    // (parse, builds, export, the recently used list) takes this path, never one typed but not
    // yet opened.
    const std::string& ProjectFile() const { return projectFile_; }
    const THhpScanResult& Project() const { return project_; }

    // The option byte as a parse and the recently used list take it: Options with the map
    // choice's bits.
    ParseOptions AllOptions() const { return Options | MapOptionBits(MapMode); }
    // Takes an option byte as the recently used list stored it, map bits included.
    void SetAllOptions(ParseOptions options);

    // The parse run's input over this session's project and word list, with the two exclude
    // lists' full paths (each empty for none).
    TdlgParse_InitData ParseInput(const std::string& defaultListPath,
                                  const std::string& secondaryListPath);
    // The build run's input over this session's project and word list. Its map settings are
    // read from the session when the map run starts; the session must outlive the run.
    TdlgBuildNdx_InitData BuildInput(bool buildIndex, bool buildMap) const;
    // The map settings of this moment.
    TMapSettings MapSettings() const;

    // How the open project's text is read: its code page's rules (Windows-1252 when no project
    // is open), or the ASCII rule when AsciiLetters is set.
    TTextRules TextRules() const { return TTextRules::ForProject(project_.CodePage, AsciiLetters); }
    // The ASCII rule of earlier versions for every project opened from now on (the command
    // line's --ascii-letters; the desktop program never sets it).
    bool AsciiLetters = false;

    // What the user chose for the project; the options without the map bits.
    ParseOptions Options = kDefaultParseOptions;
    tarnwick::MapMode MapMode = MapMode::None;
    // The help window named in the map header, and the first context ID of the alias file.
    std::string WindowName;
    std::int32_t InitialId = 0;

    // The words of the last parse; cleared and refilled by each parse, read by the builds.
    TWordList WordList;

private:
    std::string projectFile_;
    THhpScanResult project_;
};

}  // namespace tarnwick
