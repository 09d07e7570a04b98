#include "output/output_names.h"

namespace tarnwick {

std::string TrimBlanks(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) {
        ++begin;
    }
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20) {
        --end;
    }
    return std::string(text.substr(begin, end - begin));
}

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
