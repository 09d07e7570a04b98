// CConfig: Tarnwick's configuration, a container of integer keys in the data folder
// ("<data folder>Tarnwick.cfg"), opened for one burst of reads or writes and closed at once.
// When it cannot be opened it stays closed: reads give their defaults and writes do nothing.
// Its failures go to the message box its user hands in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "store/kdf.h"

namespace tarnwick {

class TMesg;
struct TMruItem;

// The configuration's keys. Placements are t_Placement records, columns integers, the list name
// a text; keys 100 to 109 hold the recently used projects, most recent first.
enum ConfigKey : int {
    kCfgMainPlacement = 0,      // main window; its left and top centre it by default
    kCfgMainColumns = 1,        // columns of the main window's word list
    kCfgEditorPlacement = 2,    // exclude-list editor
    kCfgEditorListName = 3,     // the exclude list last shown in the editor
    kCfgExportPlacement = 4,    // word-list export dialog (left, top and width applied)
    kCfgAliasMapPlacement = 5,  // alias/map options dialog (left and top applied)
    kCfgEditorColumns = 6,      // columns of the editor's word list
    kCfgMainWordView = 7,       // the main window's word view: 0 the list of columns, 1 details
    kCfgMainSortColumn = 8,     // the details' sort column: 0 word, 1 topics, 2 first topic
    kCfgMainSortOrder = 9,      // the details' sort direction: 0 ascending, 1 descending
    kCfgCommonPercent = 10,     // the share last chosen under Exclude Common Words
    kCfgFirstMru = 100,
    kCfgLastMru = 109,
};

inline constexpr int kMainWindowDefaultWidth = 500;
inline constexpr int kMainWindowDefaultHeight = 600;
inline constexpr int kEditorDefaultWidth = 500;
inline constexpr int kEditorDefaultHeight = 500;
inline constexpr int kDefaultColumns = 1;

// A window's placement in pixels, stored as four signed 32-bit little-endian integers.
struct t_Placement {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

// A placement of the given size centred on a screen of the given size.
t_Placement CenteredPlacement(int width, int height, int screenWidth, int screenHeight);

// A window is never restored smaller than this on either side, whatever was stored.
inline constexpr int kSmallestWindowSide = 100;

// `placement` made to fit `area` (the screen's available area, as a placement): its width and
// height at most the area's, but at least the given minimum (and kSmallestWindowSide), then its
// left and top moved so that the window lies within the area. A window whose minimum is larger
// than the area keeps its minimum and starts at the area's left or top edge. A stored placement
// is whatever the file holds, so any values are taken, however far out.
t_Placement FitPlacement(const t_Placement& placement, const t_Placement& area, int minWidth,
                         int minHeight);

class CConfig : public CKdf {
public:
    static constexpr std::string_view ApplicationName = "Tarnwick";
    static constexpr std::string_view FileExtension = ".cfg";
    static constexpr std::uint32_t OpenFlags = kKdfReadAccess | kKdfWriteAccess | kKdfShareRead;

    // `dataFolder` (ending in "/") + "Tarnwick.cfg"; empty when there is no data folder.
    static std::string FilePath(const std::string& dataFolder);

    // Opens the configuration file in `dataFolder` (ending in "/"; empty: no data folder, and the
    // configuration stays closed), creating it when missing. A read-only file is made writable.
    // A file that can never be read (damaged, say by a crash in the middle of a write, larger
    // than CKdf::MaxFileSize, of another key type, or with another application name in its
    // header) is reported once, renamed to "Tarnwick.cfg.damaged" (or "-2" and so on after it)
    // and replaced by a new one; when it cannot be renamed it is reported once per process and
    // the configuration stays closed. Any other failure - among them a folder, a pipe or a
    // device at the name, which is left as it is - is shown in an error box and leaves the
    // configuration closed. Every failure, here and in the other members, is shown through
    // `report`; the file is written through `system`. Both must outlive the configuration.
    CConfig(const std::string& dataFolder, TMesg& report,
            TFileSystem& system = TFileSystem::Default());
    // Writes header and index back and closes; a failure is shown in an error box.
    ~CConfig() override;

    // An empty text deletes the key. Failures are shown in an error box.
    void PutText(int key, std::string_view text);
    // The stored text, or the default when it is absent, empty or unreadable (shown).
    std::string GetText(int key, std::string_view defaultText);
    void PutPlacement(int key, int left, int top, int width, int height);
    // Reads the stored placement over `placement`, which holds the defaults, then keeps left
    // within 0 .. screenWidth - 50 and top within 0 .. screenHeight - 50 (also when nothing was
    // stored). True when a whole record was read.
    bool GetPlacement(int key, t_Placement& placement, int screenWidth, int screenHeight);
    // Stores the record; a project file that no longer exists is stored as an empty path.
    // CKdfException propagates.
    void PutMruRecord(const TMruItem& record, int key);
    // Reads the record (missing bytes zero); true when a whole record was read. CKdfException
    // propagates.
    bool GetMruRecord(TMruItem& record, int key);

    // The size of the buffer text values are read into: (largest record + 8) rounded down to a
    // multiple of 8, so that the longest record and a NUL always fit.
    int TextBufferSize() const;

private:
    // Opens or creates the configuration; a file whose header names another application raises
    // code 7, as a damaged one.
    void OpenFile(const std::string& path);
    // Reports an unusable file and sets it aside, then opens a new one; false when the
    // configuration stays closed.
    bool ReplaceUnusable(const std::string& path, const CKdfException& failure);
    void ShowError(const CKdfException& e);

    TMesg& report_;
};

}  // namespace tarnwick
