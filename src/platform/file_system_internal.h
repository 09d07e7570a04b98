// What the file layer's reading and writing halves share: how a temporary file is named after
// its target, and the parts of a path.
#pragma once

#include <climits>
#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick::file_system_detail {

// A temporary file is named after its target - ".<name>.tarnwick-XXXXXX" - so that it sorts and
// hides beside it in a file manager, and the next write of the same file finds what an
// interrupted one left. A name too long for that gets ".tarnwick-XXXXXX".
constexpr std::string_view kTemporaryMark = ".tarnwick-";
constexpr size_t kRandomPartSize = 6;  // mkstemp's XXXXXX
constexpr size_t kLongestNamedTemporary = NAME_MAX - 1 - kTemporaryMark.size() - kRandomPartSize;

// The folder part of a path ("." for a bare name, "/" at the root) and its last component.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);
// ".<name>.tarnwick-", or ".tarnwick-" for a name too long to carry.
std::string TemporaryPrefix(const std::string& name);

}  // namespace tarnwick::file_system_detail
