#include "pipeline/topic_counts.h"

#include <algorithm>

#include "pipeline/html_parser.h"

namespace tarnwick {

size_t PageTopicCount(const std::vector<std::string>& files) {
    return static_cast<size_t>(std::count_if(
        files.begin(), files.end(), [](const std::string& file) { return !IsAssetEntry(file); }));
}

}  // namespace tarnwick
