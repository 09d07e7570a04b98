// What the container's three source files share - the byte order of its integers, the size of
// its header and the one way every failure is raised and recorded - and nothing else uses.
#pragma once

#include <cstdint>
#include <string>

#include "store/kdf.h"

namespace tarnwick::kdf_detail {

inline constexpr std::int64_t kHeaderSize = static_cast<std::int64_t>(t_KdfHeader::kSize);
inline constexpr int kMaxKeyType = 10;

inline std::uint32_t LoadLE32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline void StoreLE32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

// The process-wide record of the last error, which every raise below updates first.
KdfLastError& LastError();
CKdfException MakeError(const std::string& fileName, int code, bool systemError,
                        std::string description);
// A container error code with its fixed text.
[[noreturn]] void RaiseCode(const std::string& fileName, int code);
// A system error (errno; 0 counts as EIO), with the system's text.
CKdfException SystemError(const std::string& fileName, int error);
[[noreturn]] void RaiseSystem(const std::string& fileName, int error);
// Code 7: "The data file is damaged: <detail>."
[[noreturn]] void RaiseDamaged(const std::string& fileName, const std::string& detail);

}  // namespace tarnwick::kdf_detail
