#include "store/config.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <set>

#include "platform/file_system.h"
#include "platform/os.h"
#include "store/mru_item.h"
#include "support/ansi_case.h"
#include "support/message.h"
#include "support/utils.h"

namespace tarnwick {
namespace {

constexpr std::size_t kPlacementSize = 16;
constexpr int kScreenMargin = 50;  // this much of a window stays on the screen

// A file that no later start could read either: one left damaged by a crash or a full disk in
// the middle of a write, one of another key type, or one whose header does not name Tarnwick.
// Reporting it at every start would not help the user; it is reported once and replaced.
bool IsUnusable(const CKdfException& e) {
    return !e.IsSystemError() && (e.Code() == kKdfDamaged || e.Code() == kKdfKeyTypeMismatch);
}

// Renames an unusable configuration to "<name>.damaged" (or "<name>.damaged-2" and so on, never
// over an earlier one), so that nothing of the user's is deleted. Returns the new name, or an
// empty text with `error` set when it cannot be renamed.
std::string SetAside(const std::string& path, int& error) {
    error = EEXIST;
    for (int n = 1; n <= 100; ++n) {
        const std::string aside = path + ".damaged" + (n == 1 ? "" : "-" + std::to_string(n));
        if (PathExists(aside)) {
            continue;
        }
        if (TFileSystem::Default().Rename(path, aside) == 0) {
            return aside;
        }
        error = errno;
        if (error != EEXIST) {
            break;
        }
    }
    return {};
}

// The unusable files reported in this process and still in place (they could not be renamed):
// they are not reported again.
std::set<std::string>& ReportedUnusable() {
    static std::set<std::string> paths;
    return paths;
}

bool IsRegularFile(const std::string& path) {
    return RegularFileProblem(path).empty();
}

}  // namespace

t_Placement CenteredPlacement(int width, int height, int screenWidth, int screenHeight) {
    return {(screenWidth - width) / 2, (screenHeight - height) / 2, width, height};
}

namespace {

// One side of FitPlacement: the length within [minimum, room] (the minimum winning when the room
// is smaller), then the start within the area. In 64 bits, so that no stored value overflows.
void FitSide(std::int32_t& start, std::int32_t& length, std::int32_t areaStart,
             std::int32_t areaLength, int minimum) {
    const std::int64_t smallest = std::max(minimum, kSmallestWindowSide);
    const std::int64_t fitted =
        std::max<std::int64_t>(std::min<std::int64_t>(length, areaLength), smallest);
    const std::int64_t first = areaStart;
    const std::int64_t last = std::max(first, first + areaLength - fitted);
    length = static_cast<std::int32_t>(fitted);
    start = static_cast<std::int32_t>(std::clamp<std::int64_t>(start, first, last));
}

}  // namespace

t_Placement FitPlacement(const t_Placement& placement, const t_Placement& area, int minWidth,
                         int minHeight) {
    t_Placement fitted = placement;
    FitSide(fitted.Left, fitted.Width, area.Left, area.Width, minWidth);
    FitSide(fitted.Top, fitted.Height, area.Top, area.Height, minHeight);
    return fitted;
}

std::string CConfig::FilePath(const std::string& dataFolder) {
    if (dataFolder.empty()) {
        return {};
    }
    return dataFolder + std::string(ApplicationName) + std::string(FileExtension);
}

void CConfig::ShowError(const CKdfException& e) {
    report_.Show(e.Message(), kMbError, nullptr);
}

CConfig::CConfig(const std::string& dataFolder, TMesg& report, TFileSystem& system)
    : CKdf(system), report_(report) {
    const std::string path = FilePath(dataFolder);
    if (path.empty()) {
        return;
    }
    // Only a file: a pipe or a device at the name is the user's own and is left as it is.
    if (IsRegularFile(path)) {
        MakeOwnerWritable(path);
    }
    try {
        OpenFile(path);
    } catch (const CKdfException& e) {
        if (!IsUnusable(e)) {
            // Every window opens the configuration; a configuration that cannot be opened at all
            // (a folder, a pipe or a device in its place, no permission) is reported once per
            // run of the program, not once per window.
            static std::set<std::string> reported;
            if (reported.insert(e.Message()).second) {
                ShowError(e);
            }
            return;
        }
        if (!ReplaceUnusable(path, e)) {
            return;
        }
    }
    SetApplicationName(ApplicationName);
}

void CConfig::OpenFile(const std::string& path) {
    t_KdfHeader header;
    if (ReadFileHeader(path, header)) {
        const std::string owner = header.ApplicationNameText();
        // A new configuration that never reached its first Close (a start stopped right after
        // creating it) holds nothing and becomes Tarnwick's when it is opened. Any other name -
        // another program's file, or Tarnwick's own with its header damaged (a flipped bit, zeros)
        // - is not read, and not deleted either: it may hold the user's settings and recent
        // projects.
        const bool unfinishedNew = owner == NewFileApplicationName && header.Count == 0;
        if (!unfinishedNew && !EqualsAsciiNoCase(owner, ApplicationName)) {
            throw CKdfException(kKdfDamaged, false, path,
                                "This is not a configuration file of Tarnwick: the application "
                                "name in its header is not \"" +
                                    std::string(ApplicationName) + "\".");
        }
    }
    Open(path, 1, kKdfOpenAlways, OpenFlags);
}

bool CConfig::ReplaceUnusable(const std::string& path, const CKdfException& failure) {
    if (ReportedUnusable().count(path) != 0) {
        return false;  // reported already, and it could not be moved
    }
    int error = 0;
    const std::string aside = SetAside(path, error);
    if (aside.empty()) {
        ReportedUnusable().insert(path);
        report_.Show(failure.Message() + "\r\n\r\nIt could not be renamed (" +
                         SystemErrorText(error) +
                         "); Tarnwick goes on with its default settings and saves none.",
                     kMbError, nullptr);
        return false;
    }
    report_.Show(failure.Message() + "\r\n\r\nIt has been renamed to \"" + aside +
                     "\"; Tarnwick goes on with its default settings in a new file.",
                 kMbError, nullptr);
    try {
        OpenFile(path);
    } catch (const CKdfException& e) {
        ShowError(e);
        return false;
    }
    return true;
}

CConfig::~CConfig() {
    try {
        Close();
    } catch (const CKdfException& e) {
        ShowError(e);  // the burst's changes may be lost: the user must hear of it
    }
}

int CConfig::TextBufferSize() const {
    const std::int64_t size = (static_cast<std::int64_t>(Header().LargestRecord) + 8) / 8 * 8;
    return static_cast<int>(std::min<std::int64_t>(size, INT32_MAX));
}

void CConfig::PutText(int key, std::string_view text) {
    if (!IsOpen()) {
        return;
    }
    try {
        if (text.empty()) {
            DeleteKey(key);
        } else {
            WriteString(key, text);
        }
    } catch (const CKdfException& e) {
        ShowError(e);
    }
}

std::string CConfig::GetText(int key, std::string_view defaultText) {
    if (IsOpen()) {
        try {
            std::string text = ReadString(key, static_cast<std::size_t>(TextBufferSize()));
            if (!text.empty()) {
                return text;
            }
        } catch (const CKdfException& e) {
            ShowError(e);
        }
    }
    return std::string(defaultText);
}

void CConfig::PutPlacement(int key, int left, int top, int width, int height) {
    const std::int32_t values[4] = {left, top, width, height};
    unsigned char bytes[kPlacementSize];
    for (std::size_t i = 0; i < 4; ++i) {
        const auto v = static_cast<std::uint32_t>(values[i]);
        for (std::size_t k = 0; k < 4; ++k) {
            bytes[i * 4 + k] = static_cast<unsigned char>(v >> (8 * k));
        }
    }
    try {
        WriteData(key, bytes, sizeof bytes);
    } catch (const CKdfException& e) {
        ShowError(e);
    }
}

bool CConfig::GetPlacement(int key, t_Placement& placement, int screenWidth, int screenHeight) {
    std::int32_t* fields[4] = {&placement.Left, &placement.Top, &placement.Width,
                               &placement.Height};
    unsigned char bytes[kPlacementSize];
    for (std::size_t i = 0; i < 4; ++i) {
        const auto v = static_cast<std::uint32_t>(*fields[i]);
        for (std::size_t k = 0; k < 4; ++k) {
            bytes[i * 4 + k] = static_cast<unsigned char>(v >> (8 * k));
        }
    }
    std::size_t read = 0;
    try {
        read = ReadData(key, bytes, sizeof bytes);
    } catch (const CKdfException& e) {
        ShowError(e);
    }
    for (std::size_t i = 0; i < 4; ++i) {
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            v |= static_cast<std::uint32_t>(bytes[i * 4 + k]) << (8 * k);
        }
        *fields[i] = static_cast<std::int32_t>(v);
    }
    // Keep at least a corner of the window on the screen, whatever was stored.
    placement.Left = std::max(0, std::min(placement.Left, screenWidth - kScreenMargin));
    placement.Top = std::max(0, std::min(placement.Top, screenHeight - kScreenMargin));
    return read == kPlacementSize;
}

void CConfig::PutMruRecord(const TMruItem& record, int key) {
    TMruItem stored = record;
    if (!FileExists(stored.ProjectFile)) {
        stored.ProjectFile.clear();
    }
    unsigned char bytes[TMruItem::kRecordSize];
    stored.Encode(bytes);
    WriteData(key, bytes, sizeof bytes);
}

bool CConfig::GetMruRecord(TMruItem& record, int key) {
    unsigned char bytes[TMruItem::kRecordSize] = {};
    const std::size_t read = ReadData(key, bytes, sizeof bytes);
    record = TMruItem::Decode(bytes, sizeof bytes);
    return read == TMruItem::kRecordSize;
}

}  // namespace tarnwick
