#include "store/mru_item.h"

#include <algorithm>
#include <cstring>

#include "platform/os.h"
#include "store/config.h"

namespace tarnwick {
namespace {

constexpr std::size_t kProjectFileOffset = 4;
constexpr std::size_t kWindowNameOffset = 260;
constexpr std::size_t kOptionsOffset = 324;
constexpr std::size_t kExcludeListNameOffset = 328;
constexpr std::size_t kInitialIdOffset = 392;

void PutText(unsigned char* out, std::size_t fieldSize, std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::memcpy(out, text.data(), std::min(text.size(), fieldSize - 1));
}

// A field holds at most fieldSize - 1 characters and its NUL. A field without a NUL (a record
// another program or a torn write left) is read as far as Encode could write it back, so that
// an entry saved again is the entry loaded.
std::string GetText(const unsigned char* in, std::size_t fieldSize) {
    const auto* chars = reinterpret_cast<const char*>(in);
    return std::string(chars, strnlen(chars, fieldSize - 1));
}

bool HasNul(const unsigned char* in, std::size_t fieldSize) {
    return std::memchr(in, 0, fieldSize) != nullptr;
}

}  // namespace

void TMruItem::Encode(unsigned char* out) const {
    std::memset(out, 0, kRecordSize);
    if (ProjectFile.size() < kProjectFileSize) {
        PutText(out + kProjectFileOffset, kProjectFileSize, ProjectFile);
    }
    PutText(out + kWindowNameOffset, kWindowNameSize, WindowName);
    out[kOptionsOffset] = Options;
    PutText(out + kExcludeListNameOffset, kExcludeListNameSize, ExcludeListName);
    const auto id = static_cast<std::uint32_t>(InitialId);
    for (int k = 0; k < 4; ++k) {
        out[kInitialIdOffset + static_cast<std::size_t>(k)] =
            static_cast<unsigned char>(id >> (8 * k));
    }
}

TMruItem TMruItem::Decode(const unsigned char* in, std::size_t size) {
    unsigned char record[kRecordSize] = {};
    std::memcpy(record, in, std::min(size, kRecordSize));
    TMruItem item;
    // A path without its NUL was longer than the field: cut, it could name another project.
    if (HasNul(record + kProjectFileOffset, kProjectFileSize)) {
        item.ProjectFile = GetText(record + kProjectFileOffset, kProjectFileSize);
    }
    item.WindowName = GetText(record + kWindowNameOffset, kWindowNameSize);
    item.Options = record[kOptionsOffset];
    item.ExcludeListName = GetText(record + kExcludeListNameOffset, kExcludeListNameSize);
    std::uint32_t id = 0;
    for (int k = 0; k < 4; ++k) {
        id |= static_cast<std::uint32_t>(record[kInitialIdOffset + static_cast<std::size_t>(k)])
              << (8 * k);
    }
    item.InitialId = static_cast<std::int32_t>(id);
    return item;
}

void TMru::Load(TMruMenu* menu) {
    menu_ = menu;
    items_.clear();
    try {
        CConfig config(dataFolder_, report_);
        for (int key = kFirstKey; key < kFirstKey + kMaxItems; ++key) {
            TMruItem item;
            config.GetMruRecord(item, key);
            if (FileExists(item.ProjectFile) && !Find(item.ProjectFile)) {
                items_.push_back(std::make_unique<TMruItem>(item));
            }
        }
    } catch (...) {
        RefreshMenu();  // the old entries are gone; the menu must not name them
        throw;
    }
    RefreshMenu();
}

void TMru::Save() const {
    CConfig config(dataFolder_, report_);
    for (int i = 0; i < kMaxItems && i < Count(); ++i) {
        config.PutMruRecord(Item(i), kFirstKey + i);
    }
}

void TMru::Add(const TMruItem& item) {
    for (auto i = items_.size(); i-- > 0;) {
        if (items_[i]->ProjectFile == item.ProjectFile) {
            items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    if (FileExists(item.ProjectFile)) {
        items_.insert(items_.begin(), std::make_unique<TMruItem>(item));
        if (items_.size() > static_cast<std::size_t>(kMaxItems)) {
            items_.resize(kMaxItems);
        }
    }
    // Also when nothing was added: entries may have been removed above.
    RefreshMenu();
}

TMruItem* TMru::Find(std::string_view projectFile) {
    for (auto i = items_.size(); i-- > 0;) {
        if (items_[i]->ProjectFile == projectFile) {
            return items_[i].get();
        }
    }
    return nullptr;
}

bool TMru::Remove(std::string_view projectFile) {
    const TMruItem* found = Find(projectFile);
    if (!found) {
        return false;
    }
    items_.erase(std::find_if(items_.begin(), items_.end(),
                              [found](const auto& entry) { return entry.get() == found; }));
    RefreshMenu();
    return true;
}

bool TMru::TakeFirst(TMruItem& item) {
    item = TMruItem();
    if (items_.empty()) {
        return false;
    }
    item = *items_.front();
    items_.erase(items_.begin());
    RefreshMenu();
    return true;
}

void TMru::RefreshMenu() {
    if (!menu_) {
        return;
    }
    for (int i = 0; i < TMruMenu::kItemCount; ++i) {
        if (i < Count()) {
            menu_->SetItem(i, Item(i).ProjectFile, &Item(i), true);
        } else {
            menu_->SetItem(i, std::string(), nullptr, false);
        }
    }
}

}  // namespace tarnwick
