// The container's index and records in memory: keys normalised, searched and inserted, the index
// grown and put in order, and records read and written at the offsets the index names. The byte
// layout is at the top of kdf.cpp; opening, locking and writing back are in kdf_file.cpp.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <numeric>

#include "platform/file_system.h"
#include "store/kdf.h"
#include "store/kdf_internal.h"
#include "support/word_compare.h"

namespace tarnwick {

using namespace kdf_detail;

void CKdf::Reset(std::int16_t keyType) {
    needsRebuild_ = false;
    dirty_ = false;
    file_ = -1;
    writable_ = false;
    std::vector<unsigned char>().swap(index_);
    header_.Clear();
    header_.KeyType = keyType;
    header_.EntrySize = EntrySizeOf(keyType);
    header_.Capacity = DefaultCapacity;
    header_.SetApplicationNameText(NewFileApplicationName);
    fileName_.clear();
    keySize_ = 0;
}

bool CKdf::SetApplicationName(std::string_view name) {
    if (!IsOpen()) {
        return false;
    }
    const std::string before = header_.ApplicationNameText();
    header_.SetApplicationNameText(name);
    dirty_ = dirty_ || header_.ApplicationNameText() != before;
    return true;
}

void CKdf::RequireWritable() const {
    if (!writable_) {
        RaiseCode(fileName_, kKdfReadOnly);
    }
}

unsigned char* CKdf::EntryAt(int position) {
    return index_.data() + static_cast<std::size_t>(position) * header_.EntrySize;
}

const unsigned char* CKdf::EntryAt(int position) const {
    return index_.data() + static_cast<std::size_t>(position) * header_.EntrySize;
}

CKdf::Entry CKdf::EntryData(int position) const {
    const unsigned char* entry = EntryAt(position);
    return {static_cast<std::int32_t>(LoadLE32(entry + keySize_)),
            static_cast<std::int32_t>(LoadLE32(entry + keySize_ + 4))};
}

void CKdf::SetEntryData(int position, std::int64_t offset, std::int64_t length) {
    unsigned char* entry = EntryAt(position);
    StoreLE32(entry + keySize_, static_cast<std::uint32_t>(offset));
    StoreLE32(entry + keySize_ + 4, static_cast<std::uint32_t>(length));
}

void CKdf::NormaliseKey(const CKdfKey& key) {
    std::memset(keyScratch_, 0, sizeof keyScratch_);
    if (header_.KeyType == 1) {
        if (key.IsText()) {
            RaiseCode(fileName_, kKdfKeyTypeMismatch);
        }
        StoreLE32(keyScratch_, key.Number());
        return;
    }
    if (!key.IsText()) {
        RaiseCode(fileName_, kKdfKeyTypeMismatch);
    }
    std::string_view text = key.Text();
    text = text.substr(0, text.find('\0'));
    if (static_cast<int>(text.size()) > keySize_ - 1) {
        RaiseCode(fileName_, kKdfKeyTypeMismatch);
    }
    std::memcpy(keyScratch_, text.data(), text.size());
}

int CKdf::CompareKeys(const unsigned char* left, const unsigned char* right) const {
    if (header_.KeyType == 1) {
        const std::uint32_t a = LoadLE32(left);
        const std::uint32_t b = LoadLE32(right);
        return a < b ? -1 : (a > b ? 1 : 0);
    }
    const auto* a = reinterpret_cast<const char*>(left);
    const auto* b = reinterpret_cast<const char*>(right);
    const std::size_t size = static_cast<std::size_t>(keySize_);
    return CompareWords(std::string_view(a, strnlen(a, size)),
                        std::string_view(b, strnlen(b, size)));
}

int CKdf::CompareEntryKey(int position) const {
    return CompareKeys(EntryAt(position), keyScratch_);
}

bool CKdf::Find(int& position) const {
    int low = 0;
    int high = header_.Count;
    while (high > low) {
        const int mid = low + (high - low) / 2;
        const int order = CompareEntryKey(mid);
        if (order > 0) {
            high = mid;
        } else if (order < 0) {
            low = mid + 1;
        } else {
            position = mid;
            return true;
        }
    }
    position = low;
    return false;
}

void CKdf::RepairIndexOrder() {
    const int count = header_.Count;
    bool ordered = true;
    for (int i = 1; i < count && ordered; ++i) {
        ordered = CompareKeys(EntryAt(i - 1), EntryAt(i)) < 0;
    }
    if (ordered) {
        return;
    }
    // A torn write leaves the new entries in front of old ones, so of equal keys the one nearer
    // the front is kept; the binary search needs every key once, in order.
    std::vector<int> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [this](int a, int b) { return CompareKeys(EntryAt(a), EntryAt(b)) < 0; });
    const std::size_t entrySize = static_cast<std::size_t>(header_.EntrySize);
    std::vector<unsigned char> repaired(index_.size(), 0);
    int kept = 0;
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (k > 0 && CompareKeys(EntryAt(order[k - 1]), EntryAt(order[k])) == 0) {
            continue;
        }
        std::memcpy(repaired.data() + static_cast<std::size_t>(kept) * entrySize, EntryAt(order[k]),
                    entrySize);
        ++kept;
    }
    index_.swap(repaired);
    header_.Count = kept;
    dirty_ = true;
}

void CKdf::GrowIndex() {
    const std::int64_t capacity = static_cast<std::int64_t>(header_.Capacity) + Growth;
    const std::int64_t size = capacity * header_.EntrySize;
    if (kHeaderSize + size > MaxFileSize) {
        RaiseCode(fileName_, kKdfUnknownError);  // no file with it could be read again
    }
    try {
        std::vector<unsigned char> grown(static_cast<std::size_t>(size), 0);
        std::copy(index_.begin(), index_.end(), grown.begin());
        index_.swap(grown);
    } catch (const std::bad_alloc&) {
        RaiseCode(fileName_, kKdfUnknownError);
    }
    header_.Capacity = static_cast<std::int32_t>(capacity);
    needsRebuild_ = true;
}

int CKdf::InsertKey(bool& inserted) {
    // The index grows when it is full, even when the key turns out to be there already.
    if (header_.Count >= header_.Capacity) {
        GrowIndex();
    }
    int position = 0;
    inserted = !Find(position);
    if (inserted) {
        const std::size_t entrySize = static_cast<std::size_t>(header_.EntrySize);
        std::memmove(EntryAt(position + 1), EntryAt(position),
                     static_cast<std::size_t>(header_.Count - position) * entrySize);
        std::memset(EntryAt(position), 0, entrySize);
        ++header_.Count;
    }
    return position;
}

void CKdf::RemoveEntry(int position) {
    const std::size_t entrySize = static_cast<std::size_t>(header_.EntrySize);
    std::memmove(EntryAt(position), EntryAt(position + 1),
                 static_cast<std::size_t>(header_.Count - position - 1) * entrySize);
    --header_.Count;
    std::memset(EntryAt(header_.Count), 0, entrySize);
}

void CKdf::WriteData(const CKdfKey& key, const void* data, std::size_t length) {
    if (!IsOpen()) {
        return;
    }
    RequireWritable();
    if (length > static_cast<std::size_t>(MaxFileSize)) {
        RaiseSystem(fileName_, EFBIG);
    }
    NormaliseKey(key);
    bool inserted = false;
    const int position = InsertKey(inserted);
    unsigned char before[kMaxKeySize + 8];
    std::memcpy(before, EntryAt(position), static_cast<std::size_t>(header_.EntrySize));
    try {
        const Entry old = EntryData(position);
        const auto newLength = static_cast<std::int64_t>(length);
        std::int64_t offset = old.Offset;
        if (newLength > old.Length) {
            offset = FileEnd();
        }
        if (offset + newLength > MaxFileSize) {
            RaiseSystem(fileName_, EFBIG);  // a file that no later Open would read
        }
        std::memcpy(EntryAt(position), keyScratch_, static_cast<std::size_t>(keySize_));
        SetEntryData(position, offset, newLength);
        WriteOrRaise(file_, offset, data, length);
    } catch (...) {
        // The index must not name a record that never reached the file.
        if (inserted) {
            RemoveEntry(position);
        } else {
            std::memcpy(EntryAt(position), before, static_cast<std::size_t>(header_.EntrySize));
        }
        throw;
    }
    header_.LargestRecord = std::max(header_.LargestRecord, static_cast<std::int32_t>(length));
    header_.Flags |= 1u;
    dirty_ = true;
}

std::size_t CKdf::ReadData(const CKdfKey& key, void* buffer, std::size_t size) {
    if (!IsOpen()) {
        return 0;
    }
    NormaliseKey(key);
    int position = 0;
    if (!Find(position)) {
        return 0;
    }
    const Entry e = EntryData(position);
    const std::size_t wanted = std::min(static_cast<std::size_t>(e.Length), size);
    const std::int64_t got = ReadAt(file_, e.Offset, buffer, wanted);
    if (got < 0) {
        RaiseSystem(fileName_, errno);
    }
    return static_cast<std::size_t>(got);
}

void CKdf::WriteInteger(const CKdfKey& key, std::int32_t value) {
    unsigned char bytes[4];
    StoreLE32(bytes, static_cast<std::uint32_t>(value));
    WriteData(key, bytes, sizeof bytes);
}

std::int32_t CKdf::ReadInteger(const CKdfKey& key, std::int32_t defaultValue) {
    unsigned char bytes[4];
    StoreLE32(bytes, static_cast<std::uint32_t>(defaultValue));
    ReadData(key, bytes, sizeof bytes);
    return static_cast<std::int32_t>(LoadLE32(bytes));
}

void CKdf::WriteString(const CKdfKey& key, std::string_view text) {
    if (text.empty()) {
        return;
    }
    std::string withNul(text);
    WriteData(key, withNul.c_str(), withNul.size() + 1);
}

std::string CKdf::ReadString(const CKdfKey& key, std::size_t bufferSize) {
    if (!IsOpen() || bufferSize == 0) {
        return {};
    }
    NormaliseKey(key);
    int position = 0;
    if (!Find(position)) {
        return {};
    }
    const Entry e = EntryData(position);
    std::string bytes(std::min(static_cast<std::size_t>(e.Length), bufferSize - 1), '\0');
    const std::int64_t got = ReadAt(file_, e.Offset, bytes.data(), bytes.size());
    if (got < 0) {
        RaiseSystem(fileName_, errno);
    }
    bytes.resize(static_cast<std::size_t>(got));
    return bytes.substr(0, bytes.find('\0'));
}

bool CKdf::DeleteKey(const CKdfKey& key) {
    if (!IsOpen()) {
        return false;
    }
    RequireWritable();
    NormaliseKey(key);
    int position = 0;
    if (!Find(position)) {
        return false;
    }
    const std::int64_t removedLength = EntryData(position).Length;
    RemoveEntry(position);
    dirty_ = true;
    if (removedLength == header_.LargestRecord) {
        std::int64_t longest = 0;
        for (int i = 0; i < header_.Count; ++i) {
            longest = std::max(longest, EntryData(i).Length);
        }
        header_.LargestRecord = static_cast<std::int32_t>(longest);
    }
    return true;
}

}  // namespace tarnwick
