#include "app/project_session.h"

namespace tarnwick {

void TProjectSession::Open(const std::string& path) {
    // A project that cannot be read keeps the window names of the one before, as the scanner
    // documents; the map settings chosen from them stay meaningful.
    project_ = THhpScanner().Scan(path, project_, AsciiLetters);
    projectFile_ = path;
}

void TProjectSession::Close() {
    project_ = THhpScanResult();
    projectFile_.clear();
    // What a closed project leaves checked: body text and "exclude numbers", no default list.
    Options = kParseBody | kExcludeNumbers;
    MapMode = MapMode::None;
    WindowName.clear();
    InitialId = 0;
}

void TProjectSession::SetAllOptions(ParseOptions options) {
    Options = static_cast<ParseOptions>(options & ~(kMapAliasFiles | kMapTopicHeader));
    MapMode = MapModeOf(options);
}

TdlgParse_InitData TProjectSession::ParseInput(const std::string& defaultListPath,
                                               const std::string& secondaryListPath) {
    TdlgParse_InitData input;
    input.ProjectFile = projectFile_;
    input.WordList = &WordList;
    input.Options = AllOptions();
    input.Rules = TextRules();
    input.Files = &project_.Files;
    input.DefaultListPath = defaultListPath;
    input.SecondaryListPath = secondaryListPath;
    return input;
}

TdlgBuildNdx_InitData TProjectSession::BuildInput(bool buildIndex, bool buildMap) const {
    TdlgBuildNdx_InitData input;
    input.BuildIndex = buildIndex;
    input.BuildMap = buildMap;
    input.ProjectFile = projectFile_;
    input.IndexFile = project_.IndexCaption;
    input.Words = &WordList;
    input.Files = &project_.Files;
    input.MapSettings = [this]() { return MapSettings(); };
    return input;
}

TMapSettings TProjectSession::MapSettings() const {
    TMapSettings settings;
    settings.Options = AllOptions();
    settings.AliasFile = project_.AliasFile;
    settings.MapFile = project_.MapFile;
    settings.WindowName = WindowName;
    settings.InitialId = InitialId;
    settings.MaxNameLength = project_.MaxNameLength;
    return settings;
}

}  // namespace tarnwick
