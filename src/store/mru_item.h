// The recently used projects: each remembered project with the settings the main window restores
// when it is reopened (TMruItem), the list of up to ten of them kept in the configuration (TMru),
// and the "ReOpen" submenu that mirrors the list (TMruMenu, implemented by the GUI).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick {

class TMesg;

// One remembered project. Stored as a 4492-byte record, texts NUL-terminated and NUL-padded,
// integers little-endian:
//   0    4     reserved (ignored on reading, 0 on writing)
//   4    256   ProjectFile       full path of the .hhp project
//   260  64    WindowName        help window name for map files
//   324  4     Options           parse option bits and map choice (only the low byte is used)
//   328  64    ExcludeListName   the chosen secondary exclude list; empty for none
//   392  4     InitialId         first context ID for map files (signed)
//   396  4096  reserved (0)
struct TMruItem {
    static constexpr std::size_t kRecordSize = 4492;
    static constexpr std::size_t kProjectFileSize = 256;
    static constexpr std::size_t kWindowNameSize = 64;
    static constexpr std::size_t kExcludeListNameSize = 64;

    std::string ProjectFile;
    std::string WindowName;
    std::uint8_t Options = 0;
    std::string ExcludeListName;
    std::int32_t InitialId = 0;

    // Writes the kRecordSize-byte record. WindowName and ExcludeListName keep at most 63
    // characters; a ProjectFile too long for its field is stored empty (so that the record is
    // skipped when loading) rather than cut into the path of some other file.
    void Encode(unsigned char* out) const;
    // Reads a record of up to kRecordSize bytes; missing bytes count as zero. A text field
    // without its NUL gives its first field size - 1 characters, except ProjectFile, which is
    // then empty (the path was longer than the field). So an item decoded encodes to the same
    // record fields, and decodes again unchanged.
    static TMruItem Decode(const unsigned char* in, std::size_t size);
};

// The "ReOpen" submenu as the list sees it: ten items that the GUI owns. The tag names the list
// entry an item stands for; it stays valid until the list next changes, and every change of the
// list sets all ten items again, so a click handler must copy the entry before it changes the
// list (Remove frees it).
class TMruMenu {
public:
    static constexpr int kItemCount = 10;
    virtual ~TMruMenu() = default;
    // Item `index` (0 to 9): caption and tag, shown or hidden. A hidden item has an empty
    // caption and no tag.
    virtual void SetItem(int index, const std::string& caption, const TMruItem* tag,
                         bool visible) = 0;
};

// The list of recently used projects, most recent first, at most ten. Entry i is stored under
// configuration key 100 + i. Paths compare by their bytes: two files whose names differ in
// letter case are two projects.
class TMru {
public:
    static constexpr int kMaxItems = 10;
    static constexpr int kFirstKey = 100;

    // The list kept in the configuration in `dataFolder` (ending in "/"; empty: none), whose
    // failures are shown through `report`; `report` must outlive the list.
    TMru(std::string dataFolder, TMesg& report)
        : dataFolder_(std::move(dataFolder)), report_(report) {}
    TMru(const TMru&) = delete;
    TMru& operator=(const TMru&) = delete;

    // Remembers the menu (not owned; it must outlive the list or be replaced), replaces the list
    // with the stored records whose project file exists, dropping repeats, in key order, and
    // refreshes the menu. CKdfException from the configuration propagates (the menu is refreshed
    // first). A closed configuration gives an empty list.
    void Load(TMruMenu* menu);
    // Stores the entries under keys 100 onwards. Keys past the last entry keep what they held.
    // CKdfException propagates.
    void Save() const;
    // Puts a copy of the item at the front, after removing every entry for the same project;
    // an item whose project file does not exist is not added. The list keeps at most ten.
    void Add(const TMruItem& item);
    // The entry for the project, searching from the oldest; null when there is none.
    TMruItem* Find(std::string_view projectFile);
    // Takes the entry for the project out of the list; false when there was none.
    bool Remove(std::string_view projectFile);
    // Moves the most recent entry into `item` (all zero when the list is empty, then false).
    bool TakeFirst(TMruItem& item);
    // Sets the menu's ten items from the list; nothing without a menu.
    void RefreshMenu();

    int Count() const { return static_cast<int>(items_.size()); }
    const TMruItem& Item(int index) const { return *items_[static_cast<std::size_t>(index)]; }

private:
    std::string dataFolder_;
    TMesg& report_;
    std::vector<std::unique_ptr<TMruItem>> items_;
    TMruMenu* menu_ = nullptr;
};

}  // namespace tarnwick
