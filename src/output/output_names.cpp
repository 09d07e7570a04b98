#include "output/output_names.h"

namespace tarnwick {

std::string_view FileNamePart(std::string_view path) {
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string ChangeFileExtension(std::string_view path, std::string_view extension) {
    const size_t nameStart = path.size() - FileNamePart(path).size();
    const size_t dot = path.rfind('.');
    const size_t stem = (dot != std::string_view::npos && dot >= nameStart) ? dot : path.size();
    std::string result(path.substr(0, stem));
    result += extension;
    return result;
}

}  // namespace tarnwick
